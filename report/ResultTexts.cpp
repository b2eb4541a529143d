#include "report/ResultTexts.h"

#include <cmath>

#include "report/CsvText.h"
#include "report/Names.h"

namespace pondera::report {

QString oneDecimal(double value) {
    // No "-0.0" for a value that rounds to zero from below.
    const double rounded = std::round(value * 10.0) / 10.0;
    return QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', 1);
}

QString sexText(int16_t sex) {
    if (sex == kSexMale) return QStringLiteral("Male");
    if (sex == kSexFemale) return QStringLiteral("Female");
    return QStringLiteral("sex code %1").arg(sex);
}

QString cogText(const Results &results) {
    if (!results.computable) return QStringLiteral("COG: no coefficients for this sex code");
    return QStringLiteral("COG (%1, %2)")
        .arg(oneDecimal(results.body.x), oneDecimal(results.body.z));
}

QString statureText(const BalanceFigures &f) {
    if (!f.hasStature) return QStringLiteral("COG height: needs the vertex above the feet");
    return QStringLiteral("COG height %1 % of stature").arg(oneDecimal(f.cogHeightPercent));
}

QString baseText(const BalanceFigures &f) {
    if (!f.hasBase) return QStringLiteral("Base of support: no heel or toe placed");
    QString text =
        QStringLiteral("Base %1–%2: ").arg(oneDecimal(f.baseLeftX), oneDecimal(f.baseRightX));
    if (f.side == BalanceFigures::Side::Inside)
        text += QStringLiteral("inside");
    else
        text += QStringLiteral("outside by %1 px %2")
                    .arg(oneDecimal(f.outsideBy), f.side == BalanceFigures::Side::Left
                                                      ? QStringLiteral("left")
                                                      : QStringLiteral("right"));
    if (f.hasBasePosition)
        text += QStringLiteral(", %1 %").arg(QString::number(std::round(f.basePercent)));
    return text;
}

QString baseText(const Results &results) {
    QString text = baseText(results.balance);
    if (results.verdictDependsOnMarks) text += QStringLiteral(" (depends on points to check)");
    return text;
}

QString placedText(const BalanceFigures &f) {
    QString text =
        QStringLiteral("%1/%2 landmarks placed").arg(f.placedCount).arg(BalanceFigures::kLandMarks);
    if (!f.Complete()) text += QStringLiteral(": incomplete");
    return text;
}

QString sourceText() {
    return QStringLiteral("Coefficients: ") + QString::fromUtf8(kCoefficientSource);
}

}  // namespace pondera::report
