#pragma once

#include <QUndoCommand>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pondera {

// A landmark's model coordinates.
struct LandMarkValue {
    int16_t index = 0;
    float x = 0;
    float z = 0;
    bool operator==(const LandMarkValue &) const = default;
};

// What an undo step needs from the window: each call writes the value into the record shown
// through the store (journalled like any change), recomputes and stores the centres and shows
// the result.
class EditTarget {
  public:
    virtual ~EditTarget() = default;
    virtual void ApplyLandMarks(const std::vector<LandMarkValue> &values) = 0;
    virtual void ApplySex(int16_t sex) = 0;
    virtual void ApplyPictureName(const std::string &name) = 0;
    virtual void ApplyMemo(const std::string &memo) = 0;
};

// The record edits of the main window as undo steps. A step is pushed once its change has been
// made and stored, so its first redo does nothing; undo and redo write the values before or
// after through the target.
class EditCommand : public QUndoCommand {
  public:
    void undo() override;
    void redo() override;

  protected:
    EditCommand(EditTarget &target, const QString &text) : QUndoCommand(text), target_(target) {}
    virtual void apply(bool after) = 0;
    EditTarget &target_;

  private:
    bool done_ = true;
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
    SetLandMarksCommand(EditTarget &target, Kind kind, std::vector<LandMarkValue> before,
                        std::vector<LandMarkValue> after);
    // All 22 landmarks from before to after, as one step (for landmarks found automatically).
    static SetLandMarksCommand *AllLandMarks(EditTarget &target,
                                             const std::array<LandMarkValue, 22> &before,
                                             const std::array<LandMarkValue, 22> &after);

    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand *other) override;
    const std::vector<LandMarkValue> &Before() const { return before_; }
    const std::vector<LandMarkValue> &After() const { return after_; }

  protected:
    void apply(bool after) override;

  private:
    Kind kind_;
    std::vector<LandMarkValue> before_, after_;
};

class SetSexCommand : public EditCommand {
  public:
    SetSexCommand(EditTarget &target, int16_t before, int16_t after);

  protected:
    void apply(bool after) override;

  private:
    int16_t before_, after_;
};

class SetPictureNameCommand : public EditCommand {
  public:
    SetPictureNameCommand(EditTarget &target, std::string before, std::string after);

  protected:
    void apply(bool after) override;

  private:
    std::string before_, after_;
};

class SetMemoCommand : public EditCommand {
  public:
    SetMemoCommand(EditTarget &target, std::string before, std::string after);

  protected:
    void apply(bool after) override;

  private:
    std::string before_, after_;
};

}  // namespace pondera
