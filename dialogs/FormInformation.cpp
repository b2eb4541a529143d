#include "dialogs/FormInformation.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include "dialogs/InformationTexts.h"

namespace pondera {

namespace {

constexpr QSize kClientSize{845, 572};
// Text box geometry in pixels (15 twips each), by index.
constexpr std::array<QRect, 4> kMemoRects{{
    {8, 8, 425, 561},
    {120, 416, 313, 153},
    {448, 8, 385, 553},
    {712, 472, 89, 17},
}};
constexpr QRect kOKRect{744, 536, 92, 23};
// Eleven pixels a line: the left column's 51 lines fit its box in full.
constexpr int kLineHeight = 11;

QTextEdit *MakeMemo(QWidget *parent, int index) {
    auto *memo = new QTextEdit(parent);
    memo->setObjectName(QStringLiteral("TextMEMO%1").arg(index));
    memo->setGeometry(kMemoRects.at(static_cast<size_t>(index)));
    memo->setAcceptRichText(false);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves on to the next control instead of typing a tab character.
    memo->setTabChangesFocus(true);
    // Button-face background, so the text reads as static text on the window.
    QPalette pal = memo->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    memo->setPalette(pal);
    memo->setAutoFillBackground(true);
    // No margin above or below, so 51 lines of eleven pixels fill the left column exactly; a
    // pixel on either side keeps the text off the box's edges.
    memo->document()->setDocumentMargin(0);

    memo->setPlainText(InformationMemoLines(index).join(QLatin1Char('\n')));
    QTextCursor cursor(memo->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setLineHeight(kLineHeight, QTextBlockFormat::FixedHeight);
    format.setLeftMargin(1);
    format.setRightMargin(1);
    cursor.mergeBlockFormat(format);
    if (index == 3) {
        // The source line is a little wider than its box at the window's font; set a hair
        // tighter it stays on its one line.
        QTextCharFormat tighter;
        tighter.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        tighter.setFontLetterSpacing(-0.75);
        cursor.mergeCharFormat(tighter);
        memo->mergeCurrentCharFormat(tighter);
    }
    memo->moveCursor(QTextCursor::Start);
    memo->document()->setModified(false);
    return memo;
}

}  // namespace

QFont FormInformation::WindowFont() {
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(10);
    return font;
}

FormInformation::FormInformation(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Information / Pondera 2010") + QString(49, QLatin1Char(' ')) +
                   QStringLiteral("ZELMORA"));
    // Sizable, with minimise and maximise buttons; the controls keep their places at any size.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(WindowFont());
    resize(kClientSize);

    // Created from the bottom of the stack to its top: later siblings lie above earlier ones.
    TextMEMO_[2] = MakeMemo(this, 2);
    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(kOKRect);
    cmdOK_->setDefault(true);
    TextMEMO_[0] = MakeMemo(this, 0);
    TextMEMO_[1] = MakeMemo(this, 1);
    TextMEMO_[3] = MakeMemo(this, 3);
    // The coefficient table stays in the window but is never displayed.
    TextMEMO_[1]->setVisible(false);

    setTabOrder(cmdOK_, TextMEMO_[0]);
    setTabOrder(TextMEMO_[0], TextMEMO_[1]);
    setTabOrder(TextMEMO_[1], TextMEMO_[2]);
    setTabOrder(TextMEMO_[2], TextMEMO_[3]);
    cmdOK_->setFocus();

    connect(cmdOK_, &QPushButton::clicked, this, &FormInformation::cmdOK_Click);
}

QStringList FormInformation::MemoLines(int index) const {
    QStringList lines;
    const QTextDocument *doc = TextMEMO(index)->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void FormInformation::cmdOK_Click() {
    accept();
}

void FormInformation::keyPressEvent(QKeyEvent *event) {
    // Esc presses OK, as the cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace pondera
