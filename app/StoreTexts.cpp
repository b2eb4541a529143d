#include "app/StoreTexts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <vector>

namespace pondera {

namespace {

// Every sentence shape of the store, as it words them.
constexpr const char *kShapes[] = {
    QT_TRANSLATE_NOOP("pondera::StoreTexts", "データがいっぱいです。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts", "データがいっぱいです。 (%1)"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」は、このフォルダーで実行中のもう一つのプログラムが使用して"
                      "います。そちらを終了してから起動し直してください。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」を読み込めなかったため、「%2」に移して新しいワークブックを"
                      "作成しました。理由: %3"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "前回の終了時に保存されていなかった操作 %1 件を復元しました。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "前回の終了時に保存されていなかった操作 %1 件を復元しました（記録 %2）。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」は存在しないファイル「%2」を指すリンクだったため、リンクを"
                      "新しいワークブックで置き換えました。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "記録 %1 のメモは %2 文字あり、一つのセルに収まる %3 文字までを表示して"
                      "います。メモを変更すると、その長さで保存されます。"),
    QT_TRANSLATE_NOOP(
        "pondera::StoreTexts",
        "変更を守るジャーナル「%1」が削除されていたため、ここまでの変更をワークブックに"
        "保存し、ジャーナルを作り直しました。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」がこのプログラムの外で変更されていたため、その版を「%2」"
                      "として残しました。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」にはこのプログラムが保存できない内容があったため、元の"
                      "ファイルを「%2」として残しました。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」を自動で保存できませんでした。変更はすべてジャーナルに"
                      "記録されており、失われていません。保存は後でもう一度試みます。理由: %2"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "ワークブック「%1」を自動で保存できませんでした。保存は後でもう一度試みま"
                      "す。理由: %2"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "型が一致しません: シート「%1」のセル %2 の値「%3」は%4に変換できません。"),
    QT_TRANSLATE_NOOP(
        "pondera::StoreTexts",
        "型が一致しません: シート「%1」のセル %2 の値(エラー値)は%3に変換できません。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "オーバーフローしました: %1 の値 %2 は -32768～32767 の範囲にありません。"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts",
                      "オーバーフローしました: %1 の値 %2 は単精度の範囲にありません。"),
    // Kinds of value the sentences above name.
    QT_TRANSLATE_NOOP("pondera::StoreTexts", "整数"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts", "数値"),
    QT_TRANSLATE_NOOP("pondera::StoreTexts", "文字列"),
};

struct Shape {
    const char *source;
    QRegularExpression pattern;
};

// Each shape as a pattern whose groups are its parts, in the order of their numbers.
const std::vector<Shape> &shapes() {
    static const std::vector<Shape> list = [] {
        std::vector<Shape> result;
        static const QRegularExpression part(QStringLiteral("%[1-9]"));
        for (const char *source : kShapes) {
            const QString text = QString::fromUtf8(source);
            QString pattern = QStringLiteral("^");
            qsizetype from = 0;
            for (auto it = part.globalMatch(text); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                pattern += QRegularExpression::escape(text.mid(from, m.capturedStart() - from)) +
                           QStringLiteral("(.*?)");
                from = m.capturedEnd();
            }
            pattern += QRegularExpression::escape(text.mid(from)) + QStringLiteral("$");
            result.push_back(
                {source,
                 QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)});
        }
        return result;
    }();
    return list;
}

QString translated(const QString &text) {
    for (const Shape &shape : shapes()) {
        const QRegularExpressionMatch m = shape.pattern.match(text);
        if (!m.hasMatch()) continue;
        // Parts are words of their own (a kind of value) or data, shown as they are. They go in
        // in one pass, so a part that itself holds "%2" stays as it is.
        const QString target = QCoreApplication::translate("pondera::StoreTexts", shape.source);
        QString result;
        for (qsizetype i = 0; i < target.size(); ++i) {
            const int n = i + 1 < target.size() ? target[i + 1].digitValue() : -1;
            if (target[i] == QLatin1Char('%') && n >= 1 && n <= m.lastCapturedIndex()) {
                result += translated(m.captured(n));
                ++i;
            } else {
                result += target[i];
            }
        }
        return result;
    }
    return text;
}

}  // namespace

QString StoreText(const std::string &text) {
    return translated(QString::fromStdString(text));
}

}  // namespace pondera
