#pragma once

#include <QFileDialog>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/ControlLayout.h"
#include "app/LandmarkDetection.h"
#include "app/PictureFiles.h"
#include "pose/ModelLocation.h"
#include "report/RecordData.h"
#include "session/CommandTrap.h"
#include "session/EditCommands.h"
#include "session/LandMarkValue.h"
#include "session/RecordSession.h"

class QAction;
class QToolBar;
class QDialog;
class QUndoStack;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QRadioButton;

namespace pondera {

class ExportCommands;
class LandmarkGuideTips;
class PictureView;
class ResultsPanel;
class StatusPanel;

// Window services the main window asks for, replaceable so a test can drive the window without
// a modal window ever waiting for a person. Empty members take the interactive defaults.
struct FormMainHooks {
    // Shows a message box (caption: the application title, OK only) and returns when closed.
    std::function<void(const QString &text)> message;
    // Lets the user pick a picture file; the empty text means cancelled.
    std::function<QString(QWidget *owner)> chooseFile;
    // Runs a modal window until it is closed; returns its result code.
    std::function<int(QDialog &dialog)> runDialog;
    // Asks a question with Yes and No (caption: the application title); true for Yes.
    std::function<bool(const QString &text)> ask;
    // Where the pose network for Detect Landmarks is; empty: beside the program, then installed.
    std::function<pose::ModelLocation()> poseModel;
    // Asks for a file name to save under; the empty text means cancelled.
    std::function<QString(QWidget *owner, const QString &caption, const QString &suggested,
                          const QString &filter)>
        chooseSaveFile;
    // Sets up the printer through the print dialog; false means cancelled.
    std::function<bool(QWidget *owner, QPrinter &printer)> choosePrinter;
    // Asks whether to try saving again (Retry) or to keep the window open (Cancel); true for
    // Retry.
    std::function<bool(const QString &text)> askRetry;
    // Hears the record store's start steps while the window loads (a progress display); may
    // stay empty.
    std::function<void(ClassEXCEL::StartStep)> startProgress;
};

// Pixels for a size or position in twips at the designed 15 twips per pixel.
constexpr int twips(int value) {
    return (value + 7) / 15;
}

// The main window. Controls carry object names as in their control arrays, index in
// parentheses: "OptionSex(0)", "OptionLandMark(5)", "TextX(5)", "LabelLandMark(22)"; single
// controls their plain name ("Picture1", "TextIDCode"); menus "Project", "Picture", "Help" and
// items "New", "Load", "Quit", "Load_Picture", "Detect_Landmarks", "Information", "About".
//
// The handlers read the widgets, ask the record session to do the work and show its result.
// Every user command runs under one error trap: a failure shows its error number and a
// sentence, the program goes on, and the record store commits at the end of the command. A
// commit that fails is said to have failed, and is tried again after every later command and
// before the window closes.
class FormMain : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kLandMarks = 22;

    // Runs Form_Load: opens the record session (landmark set, segment model, record store, in
    // this order), writes the demonstration pictures for a new workbook, shows the newest record.
    explicit FormMain(FormMainHooks hooks = {}, QWidget *parent = nullptr);
    ~FormMain() override;

    // False when the record store could not be opened; the window is then of no use.
    bool IsLoaded() const { return loaded_; }
    // Shows what the store had to report at start-up; called once the window is on screen.
    void ShowNotices();

    // Event handlers (public so tests and benchmarks drive exactly what a user's action runs).
    void OptionLandMark_Click(int16_t Index);
    void Picture1_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void TextIDCode_Change();
    void OptionSex_Click(int16_t Index);
    void New_Click();
    void Load_Click();
    void Load_Picture_Click();
    // Places all 22 landmarks where the pose network finds them, as one command, once the
    // detection (on a worker thread) is done. Landmarks placed by the user meanwhile are kept.
    void Detect_Landmarks_Click();
    void Quit_Click();
    void Information_Click();
    void About_Click();

    int16_t CurLandMarkNum() const { return curLandMarkNum_; }
    // The record session the window works on; null once the window has closed it (or when it
    // could not be opened).
    RecordSession *Session() const { return session_.get(); }

    StatusPanel *Status() const { return status_; }
    QUndoStack *UndoStack() const { return undo_; }
    QAction *MenuUndo() const { return MenuUndo_; }
    QAction *MenuRedo() const { return MenuRedo_; }
    QAction *MenuAutoAdvance() const { return MenuAutoAdvance_; }
    QAction *MenuShowSkeleton() const { return MenuShowSkeleton_; }
    // Places all 22 landmarks of the record shown at once (model coordinates, index order) as
    // one undo step, stored and drawn like clicks: for landmarks found automatically.
    void SetAllLandMarks(const std::array<LandMarkValue, 22> &values);
    LandmarkGuideTips *GuideTips() const { return guideTips_; }

    // The open-file dialog Load Picture shows, set up but not shown: it opens in the folder of
    // the picture chosen last in this run, else in the current directory.
    std::unique_ptr<QFileDialog> MakePictureDialog(QWidget *owner) const;

    // Controls.
    PictureView *Picture1() const { return Picture1_; }
    QGroupBox *Frame1() const { return Frame1_; }
    QGroupBox *Frame2() const { return Frame2_; }
    QLineEdit *TextIDCode() const { return TextIDCode_; }
    QRadioButton *OptionSex(int i) const { return OptionSex_.at(i); }
    QLineEdit *TextPICTURENAME() const { return TextPICTURENAME_; }
    QPlainTextEdit *TextMEMO() const { return TextMEMO_; }
    QLabel *LabelLandMark() const { return LabelLandMark_; }
    QLabel *LabelX() const { return LabelX_; }
    QLabel *LabelZ() const { return LabelZ_; }
    QRadioButton *OptionLandMark(int n) const { return OptionLandMark_.at(n); }
    QLineEdit *TextLandMark(int n) const { return TextLandMark_.at(n); }
    QLineEdit *TextX(int n) const { return TextX_.at(n); }
    QLineEdit *TextZ(int n) const { return TextZ_.at(n); }
    QLineEdit *TextCOG() const { return TextCOG_; }
    QLineEdit *TextCOGX() const { return TextCOGX_; }
    QLineEdit *TextCOGZ() const { return TextCOGZ_; }
    QAction *MenuNew() const { return MenuNew_; }
    QAction *MenuLoad() const { return MenuLoad_; }
    QAction *MenuQuit() const { return MenuQuit_; }
    QAction *MenuLoad_Picture() const { return MenuLoad_Picture_; }
    QAction *MenuDetect_Landmarks() const { return MenuDetect_Landmarks_; }
    LandmarkDetection *Detection() const { return detection_.get(); }
    // Landmarks placed by detection that the user should confirm (derived or uncertain).
    bool NeedsCheck(int16_t n) const { return needsCheck_.at(n); }
    QAction *MenuInformation() const { return MenuInformation_; }
    QAction *MenuAbout() const { return MenuAbout_; }
    // Results row and exports (FormMainResults.cpp). Menu items "Export_CSV", "Report_PDF",
    // "Print", "Save_Annotated_Picture" and the switch "Show_Base".
    ResultsPanel *Results() const { return Results_; }
    QAction *MenuShow_Base() const { return MenuShow_Base_; }

  protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void buildControls();
    void placeControls();
    void showPicture(const QString &name, QStringList &problems);
    void buildMenus();
    void buildResults();
    void drawBaseOfSupport();  // the base of support and the COG's projection, when switched on
    void showResults();
    void connectControls();
    void Form_Load();
    // Stores the memo, commits and closes the store; false when changes could not be saved and
    // the user chose to keep the window open (FormMainStore.cpp).
    bool Form_Unload();
    bool commitBeforeClose();
    // Looks for changes made to the workbook by another program and tells of them.
    void checkWorkbook(bool reportErrors);
    void limitMemo();  // keeps the memo box within what a cell holds, saying so
    // Keeps the workbook file current: a background save once the user has paused for a while
    // after a change (FormMainStore.cpp).
    void scheduleBackgroundSave();
    void saveInBackground();
    void backgroundSaveEnded();
    void RedrawPicture();
    // Shows record CurIDCode: the one way a record comes on screen.
    void displayRecord();
    void showRecord(int16_t code);
    // What the session says changed in the record shown, put on screen.
    void sessionChanged(unsigned what);
    void showMemo(const std::string &memo);
    void showLandMarkValues();
    void selectLandMarkRow(int16_t index);
    void setSexButtons(int16_t sex);
    void storeMemo();
    void buildAids();
    // Before the first change to a demonstration record in a run: offers to copy the record
    // into a new one and, on Yes, shows the copy, so the change goes there.
    // A memo being typed goes into the copy.
    void offerDemoCopy(bool fromMemo = false);
    void copyShownRecord(const QString *memo);
    void buildEditMenus();
    // Pushes an edit: its redo makes the change on the session.
    void pushEdit(QUndoCommand *step);
    void undoRedo(bool redo);
    void stepLandMark(int delta);
    void chooseLandMark(int16_t index);
    void placementDone();
    void dragTo(float picX, float picY);
    void dragEnd();
    void nudge(int dx, int dz);
    void drawAids();
    LandMarkValue landMarkValue(int16_t index) const;

    // Runs one user command under the error trap; the outermost one commits at its end.
    void command(const std::function<void()> &body);
    void commandFinished();
    void showMessage(const QString &text);
    void showError(int number, const QString &sentence, const QString &detail = {});
    void setUpDetection();
    void startDetection();
    void placeDetectedLandmarks(const LandmarkDetectionResult &result);
    void setNeedsCheck(int16_t n, bool check);
    void clearNeedsCheck();

    FormMainHooks hooks_;
    std::unique_ptr<RecordSession> session_;
    CommandTrap trap_;
    TwipScale scale_;

    int16_t curLandMarkNum_ = 0;
    bool loaded_ = false;
    int16_t memoCode_ = -1;   // the record whose memo TextMEMO holds
    bool memoDirty_ = false;  // TextMEMO was edited since it was filled
    bool fillingMemo_ = false;
    bool startupNoticesPending_ = true;
    bool closeRequested_ = false;  // a close arrived while a command was running
    bool checkingWorkbook_ = false;
    QTimer idleSave_;  // single shot: the pause after a change that starts a background save
    std::vector<QAction *> shortcutActions_;
    PictureCache pictures_;
    QString pictureFolder_;  // of the picture chosen last; empty: the current directory

    std::unique_ptr<LandmarkDetection> detection_;
    uint64_t detectionTicket_ = 0;  // the detection running, 0 for none
    int16_t detectionCode_ = -1;    // the record and picture it runs for
    QString detectionPicture_;
    std::array<bool, kLandMarks> placedDuringDetection_{};
    std::array<bool, kLandMarks> needsCheck_{};

    PictureView *Picture1_ = nullptr;
    QGroupBox *Frame1_ = nullptr;
    QGroupBox *Frame2_ = nullptr;
    QLineEdit *TextIDCode_ = nullptr;
    std::array<QRadioButton *, 2> OptionSex_{};
    QLineEdit *TextPICTURENAME_ = nullptr;
    QPlainTextEdit *TextMEMO_ = nullptr;
    QLabel *LabelLandMark_ = nullptr;
    QLabel *LabelX_ = nullptr;
    QLabel *LabelZ_ = nullptr;
    std::array<QRadioButton *, kLandMarks> OptionLandMark_{};
    std::array<QLineEdit *, kLandMarks> TextLandMark_{};
    std::array<QLineEdit *, kLandMarks> TextX_{};
    std::array<QLineEdit *, kLandMarks> TextZ_{};
    QLineEdit *TextCOG_ = nullptr;
    QLineEdit *TextCOGX_ = nullptr;
    QLineEdit *TextCOGZ_ = nullptr;
    QAction *MenuNew_ = nullptr;
    QAction *MenuLoad_ = nullptr;
    QAction *MenuQuit_ = nullptr;
    QAction *MenuLoad_Picture_ = nullptr;
    QAction *MenuDetect_Landmarks_ = nullptr;
    QAction *MenuInformation_ = nullptr;
    QAction *MenuAbout_ = nullptr;
    StatusPanel *status_ = nullptr;
    LandmarkGuideTips *guideTips_ = nullptr;
    bool demoCopyAsked_ = false;  // the copy of a demonstration record was offered this run
    QUndoStack *undo_ = nullptr;  // edits of the record shown since it was shown
    QAction *MenuUndo_ = nullptr;
    QAction *MenuRedo_ = nullptr;
    QAction *MenuAutoAdvance_ = nullptr;
    QAction *MenuShowSkeleton_ = nullptr;
    // A press on the picture that has not been released yet, and the position it placed.
    bool dragging_ = false;
    bool dragMoved_ = false;
    LandMarkValue dragPress_{};
    ResultsPanel *Results_ = nullptr;
    QToolBar *resultsBar_ = nullptr;
    QAction *MenuShow_Base_ = nullptr;
    std::unique_ptr<ExportCommands> exports_;
};

}  // namespace pondera
