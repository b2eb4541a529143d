#include "dialogs/InformationTexts.h"

#include <array>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"

namespace pondera {

namespace {

const QString kFw = QStringLiteral("\u3000");  // full-width blank

QString Fw(int count) {
    return kFw.repeated(count);
}
QString Leaders(int count) {
    return QStringLiteral("・").repeated(count);
}

QStringList UsageColumn() {
    QStringList l;
    l << QStringLiteral("使用方法") << QString();
    l << QStringLiteral("１．新規に解析する写真を追加するとき") << QString();
    l << Fw(4) + QStringLiteral("（１）「Project」　→　「New」を実行します。");
    l << Fw(4) + QStringLiteral(
                     "（２）「Picture」　→　「Load Picture」を実行して、写真を読み込みます。");
    l << Fw(4) + QStringLiteral("（３）「Male」または「Female」をチェックして、性別を入力します。");
    l << Fw(4) + QStringLiteral(
                     "（４）LandMarkの左横の○印をチェックして、入力するLandMarkを選択します。");
    l << QString() << QStringLiteral("２．既に解析しているデータを読み込むとき") << QString();
    l << Fw(4) + QStringLiteral("（１）「Load」を実行して、読み込むデータを選択します。");
    l << QString() << QStringLiteral("３．終了するとき") << QString();
    l << Fw(4) + QStringLiteral("（１）「Quit」を実行します。");
    l << QString() << QString() << QStringLiteral("注意") << QString();
    l << QStringLiteral("１．データファイルは、PONDERA2D_2010.xlsに保存されます。") << QString();
    // Sheet name + "シート" padded to eight ems, then what the sheet holds.
    l << Fw(2) + QStringLiteral("IDシート") + Fw(4) +
             QStringLiteral("性別、画像ファイル名、メモ、重心が記録されます。");
    l << Fw(2) + QStringLiteral("LANDMARKシート") + Fw(1) +
             QStringLiteral("LandMarkデータが保存されます。");
    l << Fw(2) + QStringLiteral("COGSシート") + Fw(3) +
             QStringLiteral("セグメントデータが保存されます。");
    l << QString() << QStringLiteral("２．LANDMARKの構成") << QString();
    l << QStringLiteral("  頭頂、顎、胸骨、恥骨");
    l << QStringLiteral("  右肩関節、右肘関節、右手関節、右指");
    l << QStringLiteral("  左肩関節、左肘関節、左手関節、左指");
    l << QStringLiteral("  右股関節、右膝関節、右足関節、右踵、右足");
    l << QStringLiteral("  左股関節、左膝関節、左足関節、左踵、左足");
    l << QString() << QStringLiteral("３．SEGMENTの構成とLANDMARK") << QString();

    // Segment order of the body model, head to left foot, with its proximal and distal landmarks.
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);
    const auto landMarkName = [&](int16_t n) {
        return QString::fromStdString(landMarks.GetLandMarkName(n));
    };
    for (int16_t s = segments.GetSegMinNum(); s <= segments.GetSegMaxNum(); ++s) {
        const QString name = QString::fromStdString(segments.GetCOGSName(s));
        // Name and leaders together take eight ems, so the landmark names start in one column.
        l << Fw(2) + name + kFw + Leaders(8 - static_cast<int>(name.size())) + kFw +
                 landMarkName(segments.GetSegProximalNum(s)) + QStringLiteral("－") +
                 landMarkName(segments.GetSegDistalNum(s));
    }
    return l;
}

QStringList CoefficientTable() {
    QStringList l;
    l << QStringLiteral("係数の出典：松井秀治（1958）");
    l << QStringLiteral("                男性                 女性");
    l << QStringLiteral("          質量比  重心位置      質量比  重心位置");
    // One row per kind of segment: head, neck and trunk, then the right limbs standing for both
    // sides, whose table halves give the pair's ratio back when doubled.
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);
    const QString right = QStringLiteral("右");
    for (const int16_t s : {0, 1, 2, 3, 4, 5, 9, 10, 11}) {
        QString part = QString::fromStdString(segments.GetCOGSName(s));
        const bool pair = part.startsWith(right);
        if (pair) part.remove(0, right.size());
        const auto mass = [&](int16_t sex) {
            const double m = segments.GetSegMass(s, sex);
            return QString::number(pair ? 2 * m : m, 'f', 3);
        };
        const auto position = [&](int16_t sex) {
            return QString::number(segments.GetSegPosition(s, sex), 'f', 2);
        };
        // Part and leaders take four ems; values are all five or four half-width characters.
        l << QStringLiteral("   ") + part + Leaders(4 - static_cast<int>(part.size())) + mass(0) +
                 Leaders(2) + position(0) + Leaders(4) + mass(1) + Leaders(2) + position(1);
    }
    return l;
}

QStringList MethodColumn() {
    QStringList l;
    l << QStringLiteral(" ");
    l << QStringLiteral("４．座標系") << QString();
    l << Fw(3) + QStringLiteral("画像データの左下端が原点（0,0）です。");
    l << Fw(3) + QStringLiteral("横－ｘ軸");
    l << Fw(3) + QStringLiteral("縦－ｚ軸");
    l << QString() << QStringLiteral("５．使用する画像データ") << QString();
    l << Fw(3) + QStringLiteral("ビットマップ形式またはJPEG形式のファイルをご使用ください。");
    l << Fw(3) + QStringLiteral("６４０×４８０ピクセルの画像が最適です。");
    l << QString() << QStringLiteral("６．計算方法") << QString();
    l << Fw(2) + QStringLiteral("（１）各LandMark座標入力");
    l << Fw(2) + QStringLiteral("（２）各SEGMENTの近位端LandMark座標と遠位端LandMark座標を検索");
    l << Fw(2) + QStringLiteral("（３）各SEGMENTの重心座標を計算");
    l << Fw(2) + QStringLiteral("（４）各SEGMENTの重心座標から全体の重心座標を計算");
    l << Fw(2) + QStringLiteral("（５）計算式");
    l << QString();
    l << Fw(4) + QStringLiteral("m(i)     ：各セグメントの相対的質量");
    l << Fw(4) + QStringLiteral("x(i),z(i)：各セグメントの相対的重心位置");
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
    l << QString() << QString() << QStringLiteral("７．精度") << QString();
    l << Fw(2) + QStringLiteral("①各セグメントの相対的質量(*)");
    l << Fw(2) + QStringLiteral("②各セグメントの相対的重心位置(*)");
    l << Fw(2) + QStringLiteral("③画像のゆがみ（レンズ特性、撮影方法）");
    l << Fw(2) + QStringLiteral("④マウスによるLandMark座標入力");
    l << Fw(2) + QStringLiteral("に依存します。");
    l << QString() << QString();
    l << Fw(2) + QStringLiteral("あまり精度が良いものではありません。");
    l << Fw(2) + QStringLiteral("しかし、おおよその重心位置を知ることができます。");
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
            return {QStringLiteral("(*)松井秀治（1958）")};
        default:
            return {};
    }
}

}  // namespace pondera
