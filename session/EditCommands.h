#pragma once

#include <QUndoCommand>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "session/LandMarkValue.h"

namespace pondera {

class RecordSession;

// The record edits of the main window as undo steps on the record session: redo makes the
// change (the first time when the step is pushed), undo writes the values before. Each write
// goes through the session into the store, journalled like any change, and the session tells
// the window what changed.
class EditCommand : public QUndoCommand {
  protected:
    EditCommand(RecordSession &session, const QString &text)
        : QUndoCommand(text), session_(session) {}
    RecordSession &session_;
};

// Landmarks set from one value to another: a click, a drag, nudges, or all 22 at once.
class SetLandMarksCommand : public EditCommand {
  public:
    enum class Kind {
        kPlace,    // a press; a drag's end joins it
        kDragEnd,  // the release of a drag, merged into the press it follows
        kNudge,    // an arrow key; nudges of one landmark in a row merge
        kAll,      // every landmark at once (automatic detection)
    };
    SetLandMarksCommand(RecordSession &session, Kind kind, std::vector<LandMarkValue> before,
                        std::vector<LandMarkValue> after);
    // All 22 landmarks from before to after, as one step (for landmarks found automatically).
    static SetLandMarksCommand *AllLandMarks(RecordSession &session,
                                             const std::array<LandMarkValue, 22> &before,
                                             const std::array<LandMarkValue, 22> &after);

    void undo() override;
    void redo() override;
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand *other) override;
    const std::vector<LandMarkValue> &Before() const { return before_; }
    const std::vector<LandMarkValue> &After() const { return after_; }

  private:
    Kind kind_;
    std::vector<LandMarkValue> before_, after_;
};

class SetSexCommand : public EditCommand {
  public:
    SetSexCommand(RecordSession &session, int16_t before, int16_t after);
    void undo() override;
    void redo() override;

  private:
    int16_t before_, after_;
};

// A text of the record shown, its picture name or its memo, from one value to another.
class SetTextCommand : public EditCommand {
  public:
    enum class Field { kPictureName, kMemo };
    SetTextCommand(RecordSession &session, Field field, std::string before, std::string after);
    void undo() override;
    void redo() override;

  private:
    void put(const std::string &text);
    Field field_;
    std::string before_, after_;
};

}  // namespace pondera
