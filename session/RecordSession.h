#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "report/RecordData.h"
#include "session/LandMarkValue.h"
#include "session/ViewTransform.h"
#include "store/records/ClassEXCEL.h"

namespace pondera {

class LoadListSource;

// Size of the picture area in pixels (FrameForPicture). It fixes the model frame: model x =
// picture x, model z = area height - picture y.
using AreaSize = Frame;

// The centres of gravity of the record shown, in model coordinates.
struct Centres {
    bool drawable = false;  // false while the record's sex is neither 0 nor 1
    float bodyX = 0;
    float bodyZ = 0;
    std::array<float, ClassSEGMENT::kSegments> segX{};
    std::array<float, ClassSEGMENT::kSegments> segZ{};
};

// What showing a record found, for the window to display.
struct ShownRecord {
    int16_t code = -1;
    int16_t sex = 0;
    std::string memo;
    std::string pictureName;
    // Landmark cells holding something other than a number, read as 0 ("顎 X").
    std::vector<std::string> badCells;
    bool sexDrawable = true;
    // The sex cell's content when it holds no sex number (text typed over it); the record is
    // shown with no sex until the user chooses one, which repairs the cell.
    std::optional<std::string> sexCellText;
};

// The work behind the main window, without a widget: the landmark set, the segment model and the
// record store of one running program, and the record shown. It is the one way into the store:
// every operation writes what it changes into the store at once and says so with changed(); the
// caller commits at the end of a user command.
//
// Centres of gravity are computed once per change and written only when they differ from what
// this session last wrote into the record shown, so a redraw writes nothing and a change of many
// landmarks writes them once.
class RecordSession : public QObject {
    Q_OBJECT
  public:
    // What a change touched, for a window to refresh only that.
    enum Change : unsigned {
        kRecord = 1,      // another record is shown (everything else changed with it)
        kLandMarks = 2,   // landmarks and therefore the centres
        kSex = 4,         // the sex and therefore the centres
        kPicture = 8,     // the picture name
        kMemo = 16,       // the memo of the record shown
        kRecordList = 32  // a record was added
    };
    using Changes = unsigned;

    // Creates the landmark set, the segment model and the record store, in this order; raises
    // the store's error when the workbook cannot be opened.
    explicit RecordSession(ClassEXCEL::Options options = {});
    // Releases the store first (it closes the workbook), then the two models.
    ~RecordSession() override;
    RecordSession(const RecordSession &) = delete;
    RecordSession &operator=(const RecordSession &) = delete;

    bool IsNewWorkbook() const;
    int16_t NewestCode();
    bool HasCode(int16_t code);

    // Selects the record, loads its landmarks and sex into the models and stores its centres;
    // when a landmark cell could not be read the centres are only computed, and stored at the
    // record's next change.
    ShownRecord Show(int16_t code);
    bool IsShown() const { return shown_; }
    int16_t ShownCode() const { return shownCode_; }
    // Points the store at the record shown again after a command failed half-way (the record
    // list moves the store's current record). Refuses edits when that record is gone.
    void Reselect();
    // Makes code the store's current record. A sex cell holding no sex number does not stop it:
    // Show tells the user about that cell.
    void Select(int16_t code);

    void SetArea(AreaSize area) { area_ = area; }
    AreaSize Area() const { return area_; }
    // Model coordinates of a picture position, in the area's frame.
    std::pair<float, float> ToModel(float picX, float picY) const;
    // Picture position of model coordinates, in the area's frame.
    std::pair<float, float> ToPicture(float modelX, float modelZ) const;

    // Places a landmark at a picture position: landmark set, record, centres. Returns the
    // model coordinates stored.
    std::pair<float, float> Digitize(int16_t landMark, float picX, float picY);
    // Puts landmarks at model coordinates: landmark set, record, and the centres once for all
    // of them (a click, undo, nudges, the end of a drag, landmarks found automatically).
    void PlaceLandMarks(const std::vector<LandMarkValue> &values);
    void PutLandMark(int16_t landMark, float x, float z) { PlaceLandMarks({{landMark, x, z}}); }
    // Moves a landmark in the landmark set and the centres shown, writing nothing: the record
    // receives the position once the move ends (PlaceLandMarks).
    void MoveLandMark(int16_t landMark, float x, float z);
    void SetSex(int16_t sex);
    // Stores the picture name of the record shown and returns it as the store now holds it.
    std::string StorePictureName(const std::string &path);
    // Stores a memo into the record with that code; the store's current record stays.
    void StoreMemo(int16_t code, const std::string &text);
    // Appends a record and returns its code; the record shown stays selected.
    int16_t AddRecord();
    // Appends a record holding the picture, sex and landmarks of the record shown and returns
    // its code; the record shown stays selected.
    int16_t CopyShownRecord();

    // The record shown as it stands (landmarks as placed, also during a drag), and what the
    // segment model and the balance figures make of it; both kept until the next change.
    const report::RecordData &ShownData() const { return data_; }
    const report::Results &ShownResults();
    const Centres &CurrentCentres() const { return centres_; }
    LandMarkValue LandMark(int16_t index) const;
    int PlacedCount() const;
    // One record as the store holds it (the shown one included); the shown record stays
    // selected. For checks that the store received what the window shows.
    report::RecordData StoredRecord(int16_t code);
    // Every record of the store as it is now (journalled changes included), for the exports.
    std::vector<report::RecordData> AllRecords();
    // The record list for the selection dialog; it moves the store's current record, so the
    // caller shows a record (or reselects) afterwards.
    LoadListSource &RecordList();

    const ClassLANDMARK &LandMarks() const { return *objLandMark; }
    const ClassSEGMENT &Segment() const { return *objSegment; }

    // Saving, passed through to the store (see ClassEXCEL).
    void Commit();
    void Close();
    bool HasUnsavedChanges() const;
    bool HasUncommittedChanges() const;
    bool BackgroundSaveFailed() const;
    bool SaveInBackground(std::function<void()> done);
    void FinishBackgroundSave();
    void CheckWorkbook();
    using StoreNotices = decltype(std::declval<ClassEXCEL &>().TakeNotices());
    StoreNotices TakeNotices();

  signals:
    // Something of the record shown (or the record list) changed: what, as Change bits.
    void changed(unsigned what);

  private:
    static constexpr int kCentreValues = 2 + 2 * ClassSEGMENT::kSegments;
    void requireShown(const char *what) const;
    void setModelLandMark(int16_t landMark, float x, float z);
    void computeCentres();
    void storeCentres();
    void putCentre(int slot, float value);
    float readCell(int16_t landMark, bool isX, std::vector<std::string> &badCells);
    void landMarksChanged();
    void notify(Changes what);

    std::unique_ptr<ClassLANDMARK> objLandMark;
    std::unique_ptr<ClassSEGMENT> objSegment;
    std::unique_ptr<ClassEXCEL> objExcel;
    std::unique_ptr<LoadListSource> list_;

    AreaSize area_;
    bool shown_ = false;
    int16_t shownCode_ = -1;
    Centres centres_;
    report::RecordData data_;
    std::optional<report::Results> results_;
    // What this session last wrote into the record shown, by slot (body x, body z, then segment
    // x and z in segment order); empty slots are not known to hold anything.
    std::array<std::optional<float>, kCentreValues> written_{};
};

}  // namespace pondera
