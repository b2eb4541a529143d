#pragma once

#include <QDialog>
#include <array>

class QPushButton;
class QTextEdit;

namespace pondera {

// The help window: fixed texts, OK closes it. Four text boxes TextMEMO(0..3) read as static text
// but accept edits, which are lost when the window closes; TextMEMO(1), a coefficient table, is
// never shown. OK is the default and the cancel button.
class FormInformation : public QDialog {
    Q_OBJECT
  public:
    explicit FormInformation(QWidget *parent = nullptr);

    QTextEdit *TextMEMO(int index) const { return TextMEMO_.at(static_cast<size_t>(index)); }
    QPushButton *cmdOK() const { return cmdOK_; }
    // The lines a text box shows now (its paragraphs, in order).
    QStringList MemoLines(int index) const;

    // The "what's new" box below the four: read-only, as tall as its wrapped text.
    QTextEdit *WhatsNew() const { return whatsNew_; }

    // How much the window's design grows: in proportion to the interface font, so its text is
    // read at the interface's size, yet not beyond what fits the screen. 1 at the design's size.
    static double Scale();
    // The window's font at a scale: full-width characters one em, half-width characters half an
    // em, so that the leader runs and blanks of the texts line up columns.
    static QFont WindowFont(double scale);

  protected:
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void cmdOK_Click();
    QTextEdit *MakeWhatsNew(double scale);

    std::array<QTextEdit *, 4> TextMEMO_{};
    QPushButton *cmdOK_ = nullptr;
    QTextEdit *whatsNew_ = nullptr;
};

}  // namespace pondera
