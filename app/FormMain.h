#pragma once

#include <QFileDialog>
#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "store/records/ClassEXCEL.h"

class QAction;
class QDialog;

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace pondera {

class LandmarkGuideTips;
class PictureBox;
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
};

// Pixels for a size or position in twips (15 twips make a pixel at 96 dots per inch).
constexpr int twips(int value) {
    return (value + 7) / 15;
}

// Path separator of the names the program builds itself (DEMO folder and pictures).
inline constexpr char kPathSeparator = '/';

// The main window. Controls carry object names as in their control arrays, index in
// parentheses: "OptionSex(0)", "OptionLandMark(5)", "TextX(5)", "LabelLandMark(22)"; single
// controls their plain name ("Picture1", "TextIDCode"); menus "Project", "Picture", "Help" and
// items "New", "Load", "Quit", "Load_Picture", "Information", "About".
//
// Every user command runs under one error trap: a failure shows its error number and a
// sentence, the program goes on, and the record store commits at the end of the command, so
// whatever was acknowledged on screen is on disk.
class FormMain : public QMainWindow {
    Q_OBJECT
  public:
    // Runs Form_Load: creates the landmark set, the segment model and the record store (in this
    // order), writes the demonstration pictures for a new workbook and shows the newest record.
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
    void Quit_Click();
    void Information_Click();
    void About_Click();

    int16_t CurLandMarkNum() const { return curLandMarkNum_; }
    ClassEXCEL *Excel() const { return objExcel.get(); }
    const ClassLANDMARK *LandMark() const { return objLandMark.get(); }
    const ClassSEGMENT *Segment() const { return objSegment.get(); }

    StatusPanel *Status() const { return status_; }
    LandmarkGuideTips *GuideTips() const { return guideTips_; }

    // The open-file dialog Load Picture shows, set up but not shown.
    static std::unique_ptr<QFileDialog> MakePictureDialog(QWidget *owner);

    // Controls.
    PictureBox *Picture1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLineEdit *TextIDCode = nullptr;
    std::array<QRadioButton *, 2> OptionSex{};
    QLineEdit *TextPICTURENAME = nullptr;
    QPlainTextEdit *TextMEMO = nullptr;
    QLabel *LabelLandMark = nullptr;
    QLabel *LabelX = nullptr;
    QLabel *LabelZ = nullptr;
    static constexpr int kLandMarks = 22;
    std::array<QRadioButton *, kLandMarks> OptionLandMark{};
    std::array<QLineEdit *, kLandMarks> TextLandMark{};
    std::array<QLineEdit *, kLandMarks> TextX{};
    std::array<QLineEdit *, kLandMarks> TextZ{};
    QLineEdit *TextCOG = nullptr;
    QLineEdit *TextCOGX = nullptr;
    QLineEdit *TextCOGZ = nullptr;
    QAction *MenuNew = nullptr;
    QAction *MenuLoad = nullptr;
    QAction *MenuQuit = nullptr;
    QAction *MenuLoad_Picture = nullptr;
    QAction *MenuInformation = nullptr;
    QAction *MenuAbout = nullptr;

  protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void buildControls();
    void buildMenus();
    void Form_Load();
    void Form_Unload();
    void RedrawPicture();
    void displayRecord();
    void writeDemoPictures();
    void selectLandMarkRow(int16_t index);
    void setSexButtons(int16_t sex);
    bool setIdCodeText(int16_t code);  // true when the text changed (and the display ran)
    void storeMemo();
    bool sexDrawable() const;
    void buildAids();
    int placedCount() const;
    // Before the first change to a demonstration record in a run: offers to copy the record
    // into a new one and, on Yes, shows the copy, so the change goes there.
    // A memo being typed goes into the copy.
    void offerDemoCopy(bool fromMemo = false);
    void copyShownRecord(const QString *memo);

    // Runs one user command under the error trap; the outermost one commits at its end.
    void command(const std::function<void()> &body);
    void commit();
    void reselectShownRecord();
    void showMessage(const QString &text);
    void showError(int number, const QString &sentence, const QString &detail = {});

    FormMainHooks hooks_;
    // The three shared objects, released in the opposite order (the store first).
    std::unique_ptr<ClassLANDMARK> objLandMark;
    std::unique_ptr<ClassSEGMENT> objSegment;
    std::unique_ptr<ClassEXCEL> objExcel;

    int16_t curLandMarkNum_ = 0;
    bool loaded_ = false;
    bool recordShown_ = false;  // a record is on screen and may be edited
    int16_t shownCode_ = -1;    // the record on screen
    int16_t memoCode_ = -1;     // the record whose memo TextMEMO holds
    bool memoDirty_ = false;    // TextMEMO was edited since it was filled
    bool fillingMemo_ = false;
    bool startupNoticesPending_ = true;
    int commandDepth_ = 0;
    bool closeRequested_ = false;  // a close arrived while a command was running
    std::vector<QAction *> shortcutActions_;
    StatusPanel *status_ = nullptr;
    LandmarkGuideTips *guideTips_ = nullptr;
    bool demoCopyAsked_ = false;  // the copy of a demonstration record was offered this run
};

}  // namespace pondera
