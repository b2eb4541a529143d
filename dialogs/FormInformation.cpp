#include "dialogs/FormInformation.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <cmath>
#include <memory>

#include "dialogs/FontScale.h"
#include "dialogs/InformationTexts.h"

namespace pondera {

namespace {

// The design's client area, without the "what's new" box.
constexpr QSize kClientSize{845, 572};
// Text box geometry in pixels (15 twips each), by index.
constexpr std::array<QRect, 4> kMemoRects{{
    {8, 8, 425, 561},
    {120, 416, 313, 153},
    {448, 8, 385, 553},
    {712, 472, 89, 17},
}};
constexpr QRect kOKRect{744, 536, 92, 23};
// The "what's new" box runs below the others across the window; its height follows its text.
constexpr int kWhatsNewTop = 576;
constexpr int kWhatsNewLeft = 8;
constexpr int kBottomMargin = 8;
// The design's text: a 10-pixel font, eleven pixels a line (the left column's 51 lines fit its
// box in full). The window grows from it in proportion to the interface font.
constexpr double kDesignedPixels = 10.0;
constexpr double kLineHeight = 11.0;

void SetText(QTextEdit *memo, const QStringList &lines, double scale) {
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    QTextCursor cursor(memo->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setLineHeight(kLineHeight * scale, QTextBlockFormat::FixedHeight);
    format.setLeftMargin(1);
    format.setRightMargin(1);
    cursor.mergeBlockFormat(format);
}

QTextEdit *MakeMemo(QWidget *parent, int index, double scale) {
    auto *memo = new QTextEdit(parent);
    memo->setObjectName(QStringLiteral("TextMEMO%1").arg(index));
    if (index < static_cast<int>(kMemoRects.size()))
        memo->setGeometry(Scaled(kMemoRects.at(static_cast<size_t>(index)), scale));
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

    SetText(memo, InformationMemoLines(index), scale);
    if (index == 3) {
        // The source line is a little wider than its box at the window's font; set a hair
        // tighter it stays on its one line.
        QTextCharFormat tighter;
        tighter.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        tighter.setFontLetterSpacing(-0.75 * scale);
        QTextCursor cursor(memo->document());
        cursor.select(QTextCursor::Document);
        cursor.mergeCharFormat(tighter);
        memo->mergeCurrentCharFormat(tighter);
    }
    memo->moveCursor(QTextCursor::Start);
    memo->document()->setModified(false);
    return memo;
}

}  // namespace

double FormInformation::Scale() {
    // The text is as large as the interface's (the design's 10 pixels at the interface font's
    // 10 pixels, never smaller), unless the window would then not fit the screen.
    const double interfacePixels = QFontInfo(QApplication::font()).pixelSize();
    double scale = std::max(1.0, interfacePixels / kDesignedPixels);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize free = screen->availableSize();
        const double fit = std::min(free.width() / double(kClientSize.width()),
                                    free.height() / (kClientSize.height() + 160.0));
        scale = std::max(1.0, std::min(scale, fit));
    }
    return scale;
}

QFont FormInformation::WindowFont(double scale) {
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(static_cast<int>(std::lround(kDesignedPixels * scale)));
    return font;
}

FormInformation::FormInformation(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Information / Pondera 2010") + QString(49, QLatin1Char(' ')) +
                   QStringLiteral("ZELMORA"));
    // Sizable, with minimise and maximise buttons; the controls keep their places at any size.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    const double scale = Scale();
    setFont(WindowFont(scale));

    // Created from the bottom of the stack to its top: later siblings lie above earlier ones.
    TextMEMO_[2] = MakeMemo(this, 2, scale);
    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(Scaled(kOKRect, scale));
    cmdOK_->setDefault(true);
    TextMEMO_[0] = MakeMemo(this, 0, scale);
    TextMEMO_[1] = MakeMemo(this, 1, scale);
    TextMEMO_[3] = MakeMemo(this, 3, scale);
    whatsNew_ = MakeWhatsNew(scale);
    resize(Scaled(kClientSize.width(), scale),
           whatsNew_->geometry().bottom() + 1 + Scaled(kBottomMargin, scale));
    // The coefficient table stays in the window but is never displayed.
    TextMEMO_[1]->setVisible(false);

    setTabOrder(cmdOK_, TextMEMO_[0]);
    setTabOrder(TextMEMO_[0], TextMEMO_[1]);
    setTabOrder(TextMEMO_[1], TextMEMO_[2]);
    setTabOrder(TextMEMO_[2], TextMEMO_[3]);
    setTabOrder(TextMEMO_[3], whatsNew_);
    cmdOK_->setFocus();

    connect(cmdOK_, &QPushButton::clicked, this, &FormInformation::cmdOK_Click);
}

QTextEdit *FormInformation::MakeWhatsNew(double scale) {
    QTextEdit *memo = MakeMemo(this, kWhatsNewMemo, scale);
    memo->setObjectName(QStringLiteral("TextWhatsNew"));
    // Its lines are not laid out in columns, so they wrap at the box's width, and the box is as
    // tall as the wrapped text.
    memo->setReadOnly(true);
    memo->setLineWrapMode(QTextEdit::WidgetWidth);
    const int width = Scaled(kClientSize.width() - 2 * kWhatsNewLeft, scale);
    // Measured on a copy: the box's own document follows the box's width, which it has not yet.
    const std::unique_ptr<QTextDocument> probe(memo->document()->clone());
    probe->setTextWidth(width);
    const int height = static_cast<int>(std::ceil(probe->size().height()));
    memo->setGeometry(Scaled(kWhatsNewLeft, scale), Scaled(kWhatsNewTop, scale), width, height);
    return memo;
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
