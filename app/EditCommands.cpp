#include "app/EditCommands.h"

#include <QCoreApplication>
#include <utility>

namespace pondera {

namespace {

QString caption(const char *source) {
    return QCoreApplication::translate("EditCommands", source);
}

}  // namespace

void EditCommand::undo() {
    apply(false);
}

void EditCommand::redo() {
    // The change was made before the step was pushed.
    if (std::exchange(done_, false)) return;
    apply(true);
}

SetLandMarksCommand::SetLandMarksCommand(EditTarget &target, Kind kind,
                                         std::vector<LandMarkValue> before,
                                         std::vector<LandMarkValue> after)
    : EditCommand(target,
                  kind == Kind::kAll ? caption("LandMark の自動配置") : caption("LandMark の配置")),
      kind_(kind),
      before_(std::move(before)),
      after_(std::move(after)) {}

SetLandMarksCommand *SetLandMarksCommand::AllLandMarks(EditTarget &target,
                                                       const std::array<LandMarkValue, 22> &before,
                                                       const std::array<LandMarkValue, 22> &after) {
    return new SetLandMarksCommand(target, Kind::kAll, {before.begin(), before.end()},
                                   {after.begin(), after.end()});
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

void SetLandMarksCommand::apply(bool after) {
    target_.ApplyLandMarks(after ? after_ : before_);
}

SetSexCommand::SetSexCommand(EditTarget &target, int16_t before, int16_t after)
    : EditCommand(target, caption("性別の変更")), before_(before), after_(after) {}

void SetSexCommand::apply(bool after) {
    target_.ApplySex(after ? after_ : before_);
}

SetPictureNameCommand::SetPictureNameCommand(EditTarget &target, std::string before,
                                             std::string after)
    : EditCommand(target, caption("画像の変更")),
      before_(std::move(before)),
      after_(std::move(after)) {}

void SetPictureNameCommand::apply(bool after) {
    target_.ApplyPictureName(after ? after_ : before_);
}

SetMemoCommand::SetMemoCommand(EditTarget &target, std::string before, std::string after)
    : EditCommand(target, caption("メモの変更")),
      before_(std::move(before)),
      after_(std::move(after)) {}

void SetMemoCommand::apply(bool after) {
    target_.ApplyMemo(after ? after_ : before_);
}

}  // namespace pondera
