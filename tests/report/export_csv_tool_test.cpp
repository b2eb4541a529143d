// pondera2d-workbook export-csv as a user runs it, over a workbook the program could have open.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "tests/report/report_test_support.h"

using pondera::testing::run;

namespace {

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Workbook {
    QTemporaryDir dir;
    QString path = dir.filePath("PONDERA2D_2010.xls");
    explicit Workbook(int records) {
        QProcess gen;
        gen.setWorkingDirectory(dir.path());
        gen.start(PONDERA_WORKBOOK_TOOL, {"generate", path, "--records", QString::number(records)});
        gen.waitForFinished(60000);
        EXPECT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    }
};

TEST(ExportCsv, EveryRecordWithoutTouchingTheWorkbook) {
    Workbook book(40);
    const QByteArray before = readFile(book.path);
    const QStringList filesBefore = QDir(book.dir.path()).entryList(QDir::Files | QDir::Hidden);
    const QString out = book.dir.filePath("records.csv");
    const auto r = run(PONDERA_WORKBOOK_TOOL, {"export-csv", book.path, out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());

    // Nothing written beside the workbook but the CSV: no lock, no journal, same bytes.
    EXPECT_EQ(readFile(book.path), before);
    QStringList expected = filesBefore;
    expected << "records.csv";
    expected.sort();
    EXPECT_EQ(QDir(book.dir.path()).entryList(QDir::Files | QDir::Hidden), expected);

    const auto py = run("python3", {"-c", pondera::testing::kCsvReader, out});
    ASSERT_EQ(py.status, 0) << py.err.toStdString();
    const QJsonObject csv = QJsonDocument::fromJson(py.out).object();
    EXPECT_TRUE(csv["bom"].toBool());
    const QJsonArray rows = csv["rows"].toArray();
    ASSERT_EQ(rows.size(), 41);
    EXPECT_EQ(rows[1].toArray()[0].toString(), "0");
    EXPECT_EQ(rows[1].toArray()[3].toString(), "demo0");
    EXPECT_EQ(rows[40].toArray()[0].toString(), "39");
    EXPECT_EQ(rows[40].toArray().size(), 81);
    // Record 39's memo as the generator writes it, Japanese included.
    EXPECT_EQ(rows[40].toArray()[3].toString(), "subject 39 女性 立位");
}

struct FailureCase {
    const char *what;
    QStringList args;  // %d is replaced by the temporary folder
    int status;
    const char *stderrHas;
};

void PrintTo(const FailureCase &c, std::ostream *os) {
    *os << c.what;
}

class ExportCsvFails : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ExportCsvFails, WithTheErrorNumberAndNoFile) {
    Workbook book(4);
    QFile junk(book.dir.filePath("junk.xls"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a workbook");
    junk.close();
    QStringList args;
    for (QString a : GetParam().args)
        args << a.replace("%d", book.dir.path());
    const auto r = run(PONDERA_WORKBOOK_TOOL, args);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_TRUE(r.err.contains(GetParam().stderrHas)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(book.dir.filePath("out.csv")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportCsvFails,
    ::testing::Values(
        FailureCase{"not a workbook", {"export-csv", "%d/junk.xls", "%d/out.csv"}, 1, "error 1004"},
        FailureCase{"no workbook", {"export-csv", "%d/none.xls", "%d/out.csv"}, 1, "error 1004"},
        FailureCase{"folder missing",
                    {"export-csv", "%d/PONDERA2D_2010.xls", "%d/missing/out.csv"},
                    1,
                    "error 76: Path not found: cannot write"},
        FailureCase{"no output named", {"export-csv", "%d/PONDERA2D_2010.xls"}, 2, "usage"}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

}  // namespace
