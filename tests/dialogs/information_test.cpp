// Information window: its texts line by line, the hidden coefficient box, the columns the leader
// runs line up, and the keys that close it.
#include <QFontInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QtTest>

#include "dialogs/FormInformation.h"

using namespace pondera;

namespace {

const QString F = QStringLiteral("\u3000");  // full-width blank
QString F2() {
    return F + F;
}
QString F3() {
    return F + F + F;
}
QString F4() {
    return F + F + F + F;
}

// One expected line: the exact indentation, then the text, or a pattern where the wording is ours.
struct Line {
    QString indent;
    QString text;
    bool pattern = false;
};
Line E() {
    return {};
}
Line L(const QString &text) {
    return {QString(), text};
}
Line L(const QString &indent, const QString &text) {
    return {indent, text};
}
Line P(const QString &indent, const QString &pattern) {
    return {indent, pattern, true};
}

QList<Line> UsageColumn() {
    QList<Line> l{
        L(QStringLiteral("使用方法")),
        E(),
        L(QStringLiteral("１．新規に解析する写真を追加するとき")),
        E(),
        L(F4(), QStringLiteral("（１）「Project」　→　「New」を実行します。")),
        P(F4(), QStringLiteral("^（２）.*Picture.*Load Picture.*$")),
        P(F4(), QStringLiteral("^（３）.*Male.*Female.*性別.*$")),
        L(F4(), QStringLiteral(
                    "（４）LandMarkの左横の○印をチェックして、入力するLandMarkを選択します。")),
        E(),
        L(QStringLiteral("２．既に解析しているデータを読み込むとき")),
        E(),
        P(QString(),
          QStringLiteral("^\u3000*（１）「Load」を実行して、読み込むデータを選択します。$")),
        E(),
        L(QStringLiteral("３．終了するとき")),
        E(),
        P(QString(), QStringLiteral("^\u3000*（１）「Quit」を実行します。$")),
        E(),
        E(),
        L(QStringLiteral("注意")),
        E(),
        L(QStringLiteral("１．データファイルは、PONDERA2D_2010.xlsに保存されます。")),
        E(),
        P(F2(),
          QStringLiteral("^IDシート\u3000+性別、画像ファイル名、メモ、重心が記録されます。$")),
        P(F2(), QStringLiteral("^LANDMARKシート\u3000+LandMarkデータが保存されます。$")),
        P(F2(), QStringLiteral("^COGSシート\u3000+セグメントデータが保存されます。$")),
        E(),
        L(QStringLiteral("２．LANDMARKの構成")),
        E(),
        L(QStringLiteral("  "), QStringLiteral("頭頂、顎、胸骨、恥骨")),
        L(QStringLiteral("  "), QStringLiteral("右肩関節、右肘関節、右手関節、右指")),
        L(QStringLiteral("  "), QStringLiteral("左肩関節、左肘関節、左手関節、左指")),
        L(QStringLiteral("  "), QStringLiteral("右股関節、右膝関節、右足関節、右踵、右足")),
        L(QStringLiteral("  "), QStringLiteral("左股関節、左膝関節、左足関節、左踵、左足")),
        E(),
        L(QStringLiteral("３．SEGMENTの構成とLANDMARK")),
        E(),
    };
    // Segment, leaders between full-width blanks, proximal－distal landmark.
    const char *segments[15][3] = {
        {"頭", "顎", "頭頂"},
        {"頸", "胸骨", "顎"},
        {"体幹", "恥骨", "胸骨"},
        {"右上腕", "右肩関節", "右肘関節"},
        {"右前腕", "右肘関節", "右手関節"},
        {"右手", "右手関節", "右指"},
        {"左上腕", "左肩関節", "左肘関節"},
        {"左前腕", "左肘関節", "左手関節"},
        {"左手", "左手関節", "左指"},
        {"右大腿", "右股関節", "右膝関節"},
        {"右下腿", "右膝関節", "右足関節"},
        {"右足", "右踵", "右足"},
        {"左大腿", "左股関節", "左膝関節"},
        {"左下腿", "左膝関節", "左足関節"},
        {"左足", "左踵", "左足"},
    };
    for (const auto &s : segments)
        l << P(F2(), QStringLiteral("^") + QString::fromUtf8(s[0]) +
                         QStringLiteral("\u3000・+\u3000") + QString::fromUtf8(s[1]) +
                         QStringLiteral("－") + QString::fromUtf8(s[2]) + QStringLiteral("$"));
    return l;
}

QList<Line> MethodColumn() {
    QList<Line> l{
        L(QStringLiteral(" "), QString()),
        L(QStringLiteral("４．座標系")),
        E(),
        L(F3(), QStringLiteral("画像データの左下端が原点（0,0）です。")),
        L(F3(), QStringLiteral("横－ｘ軸")),
        L(F3(), QStringLiteral("縦－ｚ軸")),
        E(),
        L(QStringLiteral("５．使用する画像データ")),
        E(),
        P(QString(),
          QStringLiteral("^\u3000*ビットマップ形式またはJPEG形式のファイルをご使用ください。$")),
        P(QString(), QStringLiteral("^\u3000*６４０×４８０ピクセルの画像が最適です。$")),
        E(),
        L(QStringLiteral("６．計算方法")),
        E(),
        L(F2(), QStringLiteral("（１）各LandMark座標入力")),
        L(F2(), QStringLiteral("（２）各SEGMENTの近位端LandMark座標と遠位端LandMark座標を検索")),
        L(F2(), QStringLiteral("（３）各SEGMENTの重心座標を計算")),
        L(F2(), QStringLiteral("（４）各SEGMENTの重心座標から全体の重心座標を計算")),
        L(F2(), QStringLiteral("（５）計算式")),
        E(),
        P(QString(), QStringLiteral("^[\u3000 ]*m\\(i\\)\\W*各セグメントの相対的質量$")),
        P(QString(),
          QStringLiteral("^[\u3000 ]*x\\(i\\),z\\(i\\)\\W*各セグメントの相対的重心位置$")),
        E(),
        E(),
        P(QString(), QStringLiteral("^ +∑ \\( m\\(i\\) × x\\(i\\) \\)$")),
        L(F4(), QStringLiteral("COGx = ─────────")),
        P(QString(), QStringLiteral("^ +∑ \\( m\\(i\\) \\)$")),
        E(),
        E(),
        E(),
        P(QString(), QStringLiteral("^ +∑ \\( m\\(i\\) × z\\(i\\) \\)$")),
        L(F4(), QStringLiteral("COGz = ─────────")),
        P(QString(), QStringLiteral("^ +∑ \\( m\\(i\\) \\)$")),
        E(),
        E(),
        L(QStringLiteral("７．精度")),
        E(),
        L(F2(), QStringLiteral("①各セグメントの相対的質量(*)")),
        L(F2(), QStringLiteral("②各セグメントの相対的重心位置(*)")),
        L(F2(), QStringLiteral("③画像のゆがみ（レンズ特性、撮影方法）")),
        L(F2(), QStringLiteral("④マウスによるLandMark座標入力")),
        L(F2(), QStringLiteral("に依存します。")),
        E(),
        E(),
        P(QString(), QStringLiteral("^\u3000*あまり精度が良いものではありません。$")),
        P(QString(), QStringLiteral("^\u3000*しかし、おおよその重心位置を知ることができます。$")),
    };
    return l;
}

QList<Line> CoefficientTable() {
    QList<Line> l{
        P(QString(), QStringLiteral("^.*松井秀治（1958）.*$")),
        P(QString(), QStringLiteral("^ +男性 +女性$")),
        P(QString(), QStringLiteral("^ +質量比 +重心位置 +質量比 +重心位置$")),
    };
    const char *rows[9][5] = {
        {"頭", "0.044", "0.63", "0.037", "0.63"},   {"頸", "0.033", "0.50", "0.026", "0.50"},
        {"体幹", "0.479", "0.52", "0.487", "0.52"}, {"上腕", "0.053", "0.46", "0.051", "0.46"},
        {"前腕", "0.030", "0.41", "0.026", "0.42"}, {"手", "0.018", "0.50", "0.012", "0.50"},
        {"大腿", "0.200", "0.42", "0.223", "0.42"}, {"下腿", "0.107", "0.41", "0.107", "0.42"},
        {"足", "0.038", "0.50", "0.030", "0.50"},
    };
    for (const auto &r : rows) {
        QString pattern = QStringLiteral("^") + QString::fromUtf8(r[0]);
        for (int i = 1; i < 5; ++i)
            pattern += QStringLiteral("・+") + QRegularExpression::escape(QLatin1String(r[i]));
        l << P(QStringLiteral("   "), pattern + QStringLiteral("$"));
    }
    return l;
}

QList<Line> Expected(int index) {
    switch (index) {
        case 0:
            return UsageColumn();
        case 1:
            return CoefficientTable();
        case 2:
            return MethodColumn();
        default:
            return {L(QStringLiteral("(*)松井秀治（1958）"))};
    }
}

// Horizontal position, in the box's font, where `what` starts in `line`.
qreal XOf(const QTextEdit *memo, const QString &line, const QString &what) {
    const int at = line.indexOf(what);
    return at < 0 ? -1 : QFontMetricsF(memo->font()).horizontalAdvance(line.left(at));
}

}  // namespace

class InformationTest : public QObject {
    Q_OBJECT
  private slots:
    void textsLineByLine_data();
    void textsLineByLine();
    void window();
    void columnsLineUp();
    void everyLineFitsItsBox_data();
    void everyLineFitsItsBox();
    void enterAndEscClose_data();
    void enterAndEscClose();
};

void InformationTest::textsLineByLine_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < 4; ++i)
        QTest::newRow(qPrintable(QStringLiteral("TextMEMO(%1)").arg(i))) << i;
}

void InformationTest::textsLineByLine() {
    QFETCH(int, index);
    FormInformation window;
    const QStringList actual = window.MemoLines(index);
    const QList<Line> expected = Expected(index);
    for (int i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        const Line &want = expected.at(i);
        const QString &got = actual.at(i);
        const QString where = QStringLiteral("line %1: \"%2\"").arg(i + 1).arg(got);
        QVERIFY2(got.startsWith(want.indent), qPrintable(where));
        const QString rest = got.mid(want.indent.size());
        if (want.pattern)
            QVERIFY2(QRegularExpression(want.text).match(rest).hasMatch(), qPrintable(where));
        else
            QVERIFY2(rest == want.text, qPrintable(where));
    }
    QCOMPARE(actual.size(), expected.size());
}

void InformationTest::window() {
    FormInformation window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Information / Pondera 2010") +
                                       QString(49, QLatin1Char(' ')) + QStringLiteral("ZELMORA"));
    // The design's 845 x 572 at the window's scale, and the "what's new" box below.
    const double scale = FormInformation::Scale();
    QCOMPARE(window.width(), qRound(845 * scale));
    QVERIFY(window.height() > qRound(572 * scale));
    QVERIFY(window.WhatsNew()->geometry().top() >= window.TextMEMO(0)->geometry().bottom());
    QCOMPARE(window.focusWidget(), window.cmdOK());
    QVERIFY(window.cmdOK()->isDefault());
    QVERIFY(window.windowFlags().testFlags(Qt::WindowMinMaxButtonsHint));
    // Tab goes from OK through the text boxes by index (the hidden one passed over), the
    // "what's new" box, and back.
    for (QWidget *next :
         {static_cast<QWidget *>(window.TextMEMO(0)), static_cast<QWidget *>(window.TextMEMO(2)),
          static_cast<QWidget *>(window.TextMEMO(3)), static_cast<QWidget *>(window.WhatsNew()),
          static_cast<QWidget *>(window.cmdOK())}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // The coefficient table is never displayed; the other three are.
    QVERIFY(!window.TextMEMO(1)->isVisible());
    for (int i : {0, 2, 3})
        QVERIFY(window.TextMEMO(i)->isVisible());
    for (int i = 0; i < 4; ++i) {
        QTextEdit *memo = window.TextMEMO(i);
        QCOMPARE(memo->frameShape(), QFrame::NoFrame);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!memo->isReadOnly());
        QCOMPARE(memo->palette().color(QPalette::Base), window.palette().color(QPalette::Button));
    }
    // Stacking: the source line and OK lie over the right column, the source line over OK.
    const QObjectList &children = window.children();
    QVERIFY(children.indexOf(window.TextMEMO(3)) > children.indexOf(window.cmdOK()));
    QVERIFY(children.indexOf(window.cmdOK()) > children.indexOf(window.TextMEMO(2)));
    QCOMPARE(window.childAt(qRound(720 * scale), qRound(480 * scale)),
             window.TextMEMO(3)->viewport());
    // Resizing moves and resizes nothing.
    const QRect ok = window.cmdOK()->geometry();
    const QRect left = window.TextMEMO(0)->geometry();
    window.resize(400, 300);
    QCOMPARE(window.cmdOK()->geometry(), ok);
    QCOMPARE(window.TextMEMO(0)->geometry(), left);
    // Edits stay in this window; the next one shows the fixed text again.
    QTest::keyClicks(window.TextMEMO(0), QStringLiteral("xyz"));
    QVERIFY(window.TextMEMO(0)->toPlainText().contains(QStringLiteral("xyz")));
    FormInformation again;
    QVERIFY(!again.TextMEMO(0)->toPlainText().contains(QStringLiteral("xyz")));
}

void InformationTest::columnsLineUp() {
    FormInformation window;
    const QTextEdit *left = window.TextMEMO(0);
    const QStringList usage = window.MemoLines(0);
    // The landmark names of every segment line start in one column.
    QList<qreal> starts;
    for (const QString &line : usage.mid(usage.size() - 15)) {
        const QString after = line.left(line.lastIndexOf(F) + 1);
        starts << QFontMetricsF(left->font()).horizontalAdvance(after);
    }
    // (Advances are fractional: within a pixel is the same column on screen.)
    for (qreal x : starts)
        QVERIFY(qAbs(x - starts.first()) < 1);
    // The sheet descriptions start in one column.
    const QStringList sheets = usage.filter(QStringLiteral("シート"));
    QCOMPARE(sheets.size(), 3);
    const qreal d0 = XOf(left, sheets[0], QStringLiteral("性別"));
    QVERIFY(qAbs(XOf(left, sheets[1], QStringLiteral("LandMarkデータ")) - d0) < 1);
    QVERIFY(qAbs(XOf(left, sheets[2], QStringLiteral("セグメント")) - d0) < 1);
    // Each value column of the coefficient table starts in one column.
    const QTextEdit *table = window.TextMEMO(1);
    const QStringList rows = window.MemoLines(1).mid(3);
    const QRegularExpression value(QStringLiteral("[0-9.]+"));
    QList<qreal> first;
    for (const QString &row : rows) {
        QList<qreal> columns;
        for (auto it = value.globalMatch(row); it.hasNext();)
            columns << QFontMetricsF(table->font())
                           .horizontalAdvance(row.left(it.next().capturedStart()));
        QCOMPARE(columns.size(), 4);
        if (first.isEmpty()) first = columns;
        for (int c = 0; c < 4; ++c)
            QVERIFY(qAbs(columns[c] - first[c]) < 1);
    }
}

void InformationTest::everyLineFitsItsBox_data() {
    // Interface fonts of a 96-dpi desktop (9 and 10 pt), of 144 dpi and of large print.
    QTest::addColumn<int>("pixels");
    for (const int pixels : {12, 13, 20, 24})
        QTest::addRow("%dpx", pixels) << pixels;
}

void InformationTest::everyLineFitsItsBox() {
    // At every interface font the window's text is at least as large as the interface's, every
    // line stays one line in its box, and the visible boxes show all their lines.
    QFETCH(int, pixels);
    const QFont before = QApplication::font();
    QFont interface = before;
    interface.setPixelSize(pixels);
    QApplication::setFont(interface);
    const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
    FormInformation window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // As large as the interface's text, unless the window would then leave the screen; then
    // as large as fits, and never below the design's.
    const QSize free = window.screen()->availableSize();
    const int memoPixels = QFontInfo(window.TextMEMO(0)->font()).pixelSize();
    QVERIFY(memoPixels >= 10);
    if (memoPixels < pixels)
        QVERIFY(window.width() * (pixels + 1.0) / memoPixels > free.width() ||
                window.height() * (pixels + 1.0) / memoPixels > free.height());
    else
        QVERIFY(window.width() <= free.width() || memoPixels == 10);
    // The "what's new" box wraps but shows all of its text, inside the window.
    QTextEdit *news = window.WhatsNew();
    QVERIFY(news->isVisible());
    QVERIFY(news->document()->size().height() <= news->viewport()->height());
    QVERIFY(window.rect().contains(news->geometry()));
    QVERIFY(news->toPlainText().contains(QStringLiteral("Ctrl+D")));
    for (int i = 0; i < 4; ++i) {
        QTextEdit *memo = window.TextMEMO(i);
        for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
            QVERIFY2(b.layout()->lineCount() <= 1,
                     qPrintable(QStringLiteral("TextMEMO(%1) wraps \"%2\"").arg(i).arg(b.text())));
        if (i != 1)
            QVERIFY2(memo->document()->size().height() <= memo->viewport()->height(),
                     qPrintable(QStringLiteral("TextMEMO(%1) is cut off: %2 > %3")
                                    .arg(i)
                                    .arg(memo->document()->size().height())
                                    .arg(memo->viewport()->height())));
    }
}

void InformationTest::enterAndEscClose_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void InformationTest::enterAndEscClose() {
    QFETCH(int, key);
    FormInformation window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(!window.isVisible());
    // Esc from inside a text box closes it as well.
    FormInformation second;
    second.show();
    QVERIFY(QTest::qWaitForWindowActive(&second));
    if (key == Qt::Key_Escape) {
        second.TextMEMO(2)->setFocus();
        QTest::keyClick(second.TextMEMO(2), Qt::Key_Escape);
        QVERIFY(!second.isVisible());
    }
}

QTEST_MAIN(InformationTest)
#include "information_test.moc"
