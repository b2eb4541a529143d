#include "dialogs/InformationTexts.h"

#include <QCoreApplication>
#include <array>

#include "dialogs/ModelNames.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"

namespace pondera {

// Translation context of the help text.
struct Information {
    Q_DECLARE_TR_FUNCTIONS(pondera::Information)
};

namespace {

const QString kFw = QStringLiteral("\u3000");  // full-width blank

QString Fw(int count) {
    return kFw.repeated(count);
}
QString Leaders(int count) {
    return QStringLiteral("・").repeated(count);
}

// Width in half-width columns of the window's monospaced font: full-width characters take two.
int Columns(const QString &text) {
    int columns = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool halfWidth = u < 0x1100 || (u >= 0xFF61 && u <= 0xFFDC);
        columns += halfWidth ? 1 : 2;
    }
    return columns;
}

// What brings `text` to `ems` ems with `fill` (one em each), a half-width blank first when an
// odd number of columns is left; nothing when the text is already as wide. The Japanese texts
// always leave an even number.
QString PadTo(const QString &text, int ems, const QString &fill) {
    const int left = 2 * ems - Columns(text);
    if (left <= 0) return {};
    return (left % 2 ? QStringLiteral(" ") : QString()) + fill.repeated(left / 2);
}

QStringList UsageColumn() {
    QStringList l;
    l << Information::tr("使用方法") << QString();
    l << Information::tr("１．新規に解析する写真を追加するとき") << QString();
    l << Fw(4) + Information::tr("（１）「Project」　→　「New」を実行します。");
    l << Fw(4) + Information::tr(
                     "（２）「Picture」　→　「Load Picture」を実行して、写真を読み込みます。");
    l << Fw(4) +
             Information::tr("（３）「Male」または「Female」をチェックして、性別を入力します。");
    l << Fw(4) + Information::tr(
                     "（４）LandMarkの左横の○印をチェックして、入力するLandMarkを選択します。");
    l << QString() << Information::tr("２．既に解析しているデータを読み込むとき") << QString();
    l << Fw(4) + Information::tr("（１）「Load」を実行して、読み込むデータを選択します。");
    l << QString() << Information::tr("３．終了するとき") << QString();
    l << Fw(4) + Information::tr("（１）「Quit」を実行します。");
    l << QString() << QString() << Information::tr("注意") << QString();
    l << Information::tr("１．データファイルは、PONDERA2D_2010.xlsに保存されます。") << QString();
    // Sheet name + "シート" padded to eight ems, then what the sheet holds.
    const auto sheetLine = [&l](const QString &sheet, const QString &holds) {
        l << Fw(2) + sheet + PadTo(sheet, 8, kFw) + holds;
    };
    sheetLine(Information::tr("IDシート"),
              Information::tr("性別、画像ファイル名、メモ、重心が記録されます。"));
    sheetLine(Information::tr("LANDMARKシート"), Information::tr("LandMarkデータが保存されます。"));
    sheetLine(Information::tr("COGSシート"), Information::tr("セグメントデータが保存されます。"));
    l << QString() << Information::tr("２．LANDMARKの構成") << QString();
    l << Information::tr("  頭頂、顎、胸骨、恥骨");
    l << Information::tr("  右肩関節、右肘関節、右手関節、右指");
    l << Information::tr("  左肩関節、左肘関節、左手関節、左指");
    l << Information::tr("  右股関節、右膝関節、右足関節、右踵、右足");
    l << Information::tr("  左股関節、左膝関節、左足関節、左踵、左足");
    l << QString() << Information::tr("３．SEGMENTの構成とLANDMARK") << QString();

    // Segment order of the body model, head to left foot, with its proximal and distal landmarks.
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);
    const auto landMarkName = [&](int16_t n) {
        return LandMarkNameText(landMarks.GetLandMarkName(n));
    };
    for (int16_t s = segments.GetSegMinNum(); s <= segments.GetSegMaxNum(); ++s) {
        const QString name = SegmentNameText(segments.GetCOGSName(s));
        // Name and leaders together take eight ems, so the landmark names start in one column.
        l << Fw(2) + name + kFw + PadTo(name, 8, Leaders(1)) + kFw +
                 Information::tr("%1－%2").arg(landMarkName(segments.GetSegProximalNum(s)),
                                               landMarkName(segments.GetSegDistalNum(s)));
    }
    return l;
}

QStringList CoefficientTable() {
    QStringList l;
    l << Information::tr("係数の出典：松井秀治（1958）");
    l << Information::tr("                男性                 女性");
    l << Information::tr("          質量比  重心位置      質量比  重心位置");
    // One row per kind of segment: head, neck and trunk, then the right limbs standing for both
    // sides, whose table halves give the pair's ratio back when doubled.
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);
    const QString right = QStringLiteral("右");
    for (const int16_t s : {0, 1, 2, 3, 4, 5, 9, 10, 11}) {
        QString part = QString::fromStdString(segments.GetCOGSName(s));
        const bool pair = part.startsWith(right);
        if (pair) part.remove(0, right.size());
        part = SegmentNameText(part.toStdString());
        const auto mass = [&](int16_t sex) {
            const double m = segments.GetSegMass(s, sex);
            return QString::number(pair ? 2 * m : m, 'f', 3);
        };
        const auto position = [&](int16_t sex) {
            return QString::number(segments.GetSegPosition(s, sex), 'f', 2);
        };
        // Part and leaders take four ems; values are all five or four half-width characters.
        l << QStringLiteral("   ") + part + PadTo(part, 4, Leaders(1)) + mass(0) + Leaders(2) +
                 position(0) + Leaders(4) + mass(1) + Leaders(2) + position(1);
    }
    return l;
}

QStringList MethodColumn() {
    QStringList l;
    l << QStringLiteral(" ");
    l << Information::tr("４．座標系") << QString();
    l << Fw(3) + Information::tr("画像データの左下端が原点（0,0）です。");
    l << Fw(3) + Information::tr("横－ｘ軸");
    l << Fw(3) + Information::tr("縦－ｚ軸");
    l << QString() << Information::tr("５．使用する画像データ") << QString();
    l << Fw(3) + Information::tr("ビットマップ形式またはJPEG形式のファイルをご使用ください。");
    l << Fw(3) + Information::tr("６４０×４８０ピクセルの画像が最適です。");
    l << QString() << Information::tr("６．計算方法") << QString();
    l << Fw(2) + Information::tr("（１）各LandMark座標入力");
    l << Fw(2) + Information::tr("（２）各SEGMENTの近位端LandMark座標と遠位端LandMark座標を検索");
    l << Fw(2) + Information::tr("（３）各SEGMENTの重心座標を計算");
    l << Fw(2) + Information::tr("（４）各SEGMENTの重心座標から全体の重心座標を計算");
    l << Fw(2) + Information::tr("（５）計算式");
    l << QString();
    l << Fw(4) + Information::tr("m(i)     ：各セグメントの相対的質量");
    l << Fw(4) + Information::tr("x(i),z(i)：各セグメントの相対的重心位置");
    // Each formula is a fraction over three lines; numerator and denominator are centred over the
    // bar of nine rules that follows "COGx = ".
    const QString numeratorIndent = QString(15, QLatin1Char(' '));
    const QString denominatorIndent = QString(19, QLatin1Char(' '));
    const QString bar = QStringLiteral("─").repeated(9);
    for (const QChar axis : {QLatin1Char('x'), QLatin1Char('z')}) {
        l << QString() << QString();
        if (axis == QLatin1Char('z')) l << QString();
        l << numeratorIndent + QStringLiteral("∑ ( m(i) × ") + axis + QStringLiteral("(i) )");
        l << Fw(4) + QStringLiteral("COG") + axis + QStringLiteral(" = ") + bar;
        l << denominatorIndent + QStringLiteral("∑ ( m(i) )");
    }
    l << QString() << QString() << Information::tr("７．精度") << QString();
    l << Fw(2) + Information::tr("①各セグメントの相対的質量(*)");
    l << Fw(2) + Information::tr("②各セグメントの相対的重心位置(*)");
    l << Fw(2) + Information::tr("③画像のゆがみ（レンズ特性、撮影方法）");
    l << Fw(2) + Information::tr("④マウスによるLandMark座標入力");
    l << Fw(2) + Information::tr("に依存します。");
    l << QString() << QString();
    l << Fw(2) + Information::tr("あまり精度が良いものではありません。");
    l << Fw(2) + Information::tr("しかし、おおよその重心位置を知ることができます。");
    return l;
}

// What this version does beyond the fixed texts above, which stay as they are: where those say
// otherwise (the best picture size), this is what holds today.
QStringList WhatsNew() {
    QStringList l;
    l << Information::tr("新しい機能");
    l << Information::tr("・どの大きさの写真も全体を表示します。座標は写真のピクセル単位です。");
    l << Information::tr(
        "・Ctrl+ホイールまたは＋／－キーで拡大・縮小、０で全体表示、１で等倍。"
        "ルーペで正確に入力できます。");
    l << Information::tr(
        "・LandMarkはドラッグや矢印キーで動かせます。元に戻す（Ctrl+Z）、"
        "やり直し（Ctrl+Y）ができます。");
    l << Information::tr(
        "・「Picture」→「Detect Landmarks」（Ctrl+D）で22点を自動で配置します。"
        "「check」の付いた点は確かめてください。");
    l << Information::tr(
        "・画面下の結果の行に、重心の高さ（身長に対する割合）と支持基底面に対する"
        "重心の位置を表示します。");
    l << Information::tr(
        "・「Export CSV...」「Report (PDF)...」「Print...」「Save Annotated "
        "Picture...」で結果を書き出します。");
    l << Information::tr("・変更はすぐに記録され、異常終了の後も次の起動で元に戻ります。");
    return l;
}

}  // namespace

QStringList InformationMemoLines(int index) {
    switch (index) {
        case 0:
            return UsageColumn();
        case 1:
            return CoefficientTable();
        case 2:
            return MethodColumn();
        case 3:
            return {Information::tr("(*)松井秀治（1958）")};
        case kWhatsNewMemo:
            return WhatsNew();
        default:
            return {};
    }
}

}  // namespace pondera
