#pragma once

#include <QDialog>
#include <cstdint>

#include "session/LoadListSource.h"

class QListView;
class QPushButton;
class QStringListModel;

namespace pondera {

// Record selection: lists every record of the store ("code sex picture-name"); OK hands the
// selected position back in curIDCode. Form_Load runs in the constructor (the list is built on
// every opening, which moves the store's current record through all codes).
//
// Keys: neither button is the default button, so Enter on a button presses only that button (the
// dialog opens with the focus on OK); Enter in the list and a double click open the entry they
// are on. Esc and the close box act as Cancel. OK without a selected entry also acts as Cancel:
// there is no record -1 to show. The list opens scrolled to the record shown, with its entry
// current (the focus frame) but not selected.
class DialogLoad : public QDialog {
    Q_OBJECT
  public:
    // Filled from a source of records: the record session's list, or a stand-in.
    DialogLoad(LoadListSource &source, int16_t &curIDCode, QWidget *parent = nullptr);

    // The text of one list entry: code, sex and picture name joined by single blanks.
    static QString EntryText(int16_t code, int16_t sex, const std::string &pictureName);

    QListView *ListProject() const { return ListProject_; }
    QPushButton *OKButton() const { return OKButton_; }
    QPushButton *CancelButton() const { return CancelButton_; }
    // The cells the list could not read (a sex typed over in a spreadsheet), one description
    // each; those entries show the cell's text as it stands. The caller tells the user.
    const QStringList &Problems() const { return problems_; }

  protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void BuildWindow();
    void Form_Load(LoadListSource &source);
    void OKButton_Click();
    void CancelButton_Click();
    void openEntry(int row);

    int16_t &curIDCode_;
    QPushButton *OKButton_ = nullptr;
    QPushButton *CancelButton_ = nullptr;
    QListView *ListProject_ = nullptr;
    QStringListModel *entries_ = nullptr;
    QStringList problems_;
};

}  // namespace pondera
