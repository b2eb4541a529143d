#include "session/EditCommands.h"

#include <QCoreApplication>
#include <utility>

#include "session/RecordSession.h"

namespace pondera {

namespace {

QString caption(const char *source) {
    return QCoreApplication::translate("EditCommands", source);
}

}  // namespace

SetLandMarksCommand::SetLandMarksCommand(RecordSession &session, Kind kind,
                                         std::vector<LandMarkValue> before,
                                         std::vector<LandMarkValue> after)
    : EditCommand(session,
                  kind == Kind::kAll ? caption("LandMark の自動配置") : caption("LandMark の配置")),
      kind_(kind),
      before_(std::move(before)),
      after_(std::move(after)) {}

SetLandMarksCommand *SetLandMarksCommand::AllLandMarks(RecordSession &session,
                                                       const std::array<LandMarkValue, 22> &before,
                                                       const std::array<LandMarkValue, 22> &after) {
    return new SetLandMarksCommand(session, Kind::kAll, {before.begin(), before.end()},
                                   {after.begin(), after.end()});
}

void SetLandMarksCommand::undo() {
    session_.PlaceLandMarks(before_);
}

void SetLandMarksCommand::redo() {
    session_.PlaceLandMarks(after_);
}

bool SetLandMarksCommand::mergeWith(const QUndoCommand *other) {
    const auto *next = static_cast<const SetLandMarksCommand *>(other);
    const bool sameLandMark = before_.size() == 1 && next->before_.size() == 1 &&
                              before_[0].index == next->before_[0].index;
    if (!sameLandMark) return false;
    const bool dragEnd = kind_ == Kind::kPlace && next->kind_ == Kind::kDragEnd;
    const bool nudgeRun = kind_ == Kind::kNudge && next->kind_ == Kind::kNudge;
    if (!dragEnd && !nudgeRun) return false;
    after_ = next->after_;
    return true;
}

SetSexCommand::SetSexCommand(RecordSession &session, int16_t before, int16_t after)
    : EditCommand(session, caption("性別の変更")), before_(before), after_(after) {}

void SetSexCommand::undo() {
    session_.SetSex(before_);
}

void SetSexCommand::redo() {
    session_.SetSex(after_);
}

SetTextCommand::SetTextCommand(RecordSession &session, Field field, std::string before,
                               std::string after)
    : EditCommand(session,
                  field == Field::kPictureName ? caption("画像の変更") : caption("メモの変更")),
      field_(field),
      before_(std::move(before)),
      after_(std::move(after)) {}

void SetTextCommand::undo() {
    put(before_);
}

void SetTextCommand::redo() {
    put(after_);
}

void SetTextCommand::put(const std::string &text) {
    if (field_ == Field::kPictureName)
        session_.StorePictureName(text);
    else
        session_.StoreMemo(session_.ShownCode(), text);
}

}  // namespace pondera
