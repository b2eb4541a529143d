// The exports as a user gets them: CSV read back by Python's csv module, the annotated picture
// as a PNG or JPEG file, the PDF as poppler reads it, and what a failed write leaves behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <functional>

#include "base/error.h"
#include "model/demo_landmarks.h"
#include "report/AnnotatedPicture.h"
#include "report/AtomicWrite.h"
#include "report/CsvExport.h"
#include "report/PdfReport.h"
#include "report/RecordData.h"
#include "store/xls/workbook_engine.h"
#include "tests/report/report_test_support.h"
#include "tools/workbook/generate.h"

using namespace pondera;
using namespace pondera::report;
using pondera::testing::run;

namespace {

RecordData demoRecord(int16_t code, int16_t sex, const std::string &memo) {
    RecordData r;
    r.code = code;
    r.sex = sex;
    r.memo = memo;
    r.pictureName = "/pictures/subject.jpg";
    for (size_t i = 0; i < 22; ++i)
        r.landmarks[i] = {float(kDemoSetA[i].x), float(kDemoSetA[i].z)};
    return r;
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject readCsvWithPython(const QString &path) {
    const auto r = run("python3", {"-c", pondera::testing::kCsvReader, path});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object();
}

// ---------------------------------------------------------------------------------------------
// CSV

TEST(Csv, PythonReadsEveryRecordWithHeaderQuotingAndJapaneseText) {
    QTemporaryDir dir;
    const std::string tricky = "heel, then \"toe\"\nsecond line";
    std::vector<RecordData> records{demoRecord(0, 0, "立位　左足に荷重"), demoRecord(1, 1, tricky),
                                    demoRecord(2, 7, "")};
    records[2].landmarks.fill({});
    records[2].pictureName.clear();
    // The heel at the base's right end marked: the centre lies within its reach.
    records[0].checkMarks[15] = true;
    records[1].checkMarks[7] = true;
    const QString path = dir.filePath("records.csv");
    exportCsv(path, records);

    const QJsonObject csv = readCsvWithPython(path);
    EXPECT_TRUE(csv["bom"].toBool());
    const QJsonArray rows = csv["rows"].toArray();
    ASSERT_EQ(rows.size(), 4);  // header and three records
    const QJsonArray head = rows[0].toArray();
    ASSERT_EQ(head.size(), 4 + 2 + 30 + 44 + 1);
    EXPECT_EQ(head[80].toString(), "要確認 points to check");
    EXPECT_EQ(head[2].toString(), "性別(0:男／1:女) sex (0: male, 1: female)");
    EXPECT_EQ(head[4].toString(), "重心 body COG x");
    EXPECT_EQ(head[6].toString(), "頭 head COG x");
    EXPECT_EQ(head[35].toString(), "左足 left foot COG z");
    EXPECT_EQ(head[36].toString(), "頭頂 top of head x");
    EXPECT_EQ(head[79].toString(), "左足 left toe tip z");
    for (const auto &row : rows)
        EXPECT_EQ(row.toArray().size(), head.size());

    EXPECT_EQ(rows[1].toArray()[3].toString(), "立位　左足に荷重");
    EXPECT_EQ(rows[2].toArray()[3].toString().toStdString(), tricky);
    EXPECT_EQ(rows[2].toArray()[1].toString(), "/pictures/subject.jpg");
    // The landmarks as they were, the centres computed from them for each record's sex.
    const Results male = computeResults(records[0]), female = computeResults(records[1]);
    EXPECT_EQ(rows[1].toArray()[36].toString(), "294");
    EXPECT_EQ(rows[1].toArray()[4].toString().toFloat(), male.body.x);
    EXPECT_EQ(rows[2].toArray()[5].toString().toFloat(), female.body.z);
    EXPECT_NE(male.body.x, female.body.x);
    // A sex code without coefficients: no centres, the landmarks still there.
    EXPECT_EQ(rows[3].toArray()[2].toString(), "7");
    EXPECT_EQ(rows[3].toArray()[4].toString(), "");
    EXPECT_EQ(rows[3].toArray()[35].toString(), "");
    EXPECT_EQ(rows[3].toArray()[36].toString(), "0");
    // The marked landmarks, and whether the base-of-support verdict depends on them.
    EXPECT_EQ(rows[1].toArray()[80].toString(), "15; base of support: depends on points to check");
    EXPECT_EQ(rows[2].toArray()[80].toString(), "7");
    EXPECT_EQ(rows[3].toArray()[80].toString(), "");
}

// The marks come from the program's own data sheet of the workbook; a workbook without one has
// none.
TEST(Csv, CheckMarksAreReadFromTheProgramsOwnSheet) {
    auto engine = store::makeWorkbookEngine();
    auto book = engine->create();
    tool::generateWorkbook(*book, 6, "/data");
    EXPECT_EQ(readWorkbookRecords(*book)[4].checkMarks, (std::array<bool, 22>{}));
    store::Worksheet &data = book->addSheet();
    data.setName("PONDERA2D_DATA");
    data.setCell(7, 1, store::CellValue::integer(4));
    data.setCell(7, 2, store::CellValue::str("video"));
    data.setCell(7, 3, store::CellValue::str("/v.mp4"));
    data.setCell(7, 4, store::CellValue::str("check"));
    data.setCell(7, 5, store::CellValue::str("16 21"));
    const std::vector<RecordData> records = readWorkbookRecords(*book);
    EXPECT_TRUE(records[4].checkMarks[16] && records[4].checkMarks[21]);
    EXPECT_EQ(std::count(records[4].checkMarks.begin(), records[4].checkMarks.end(), true), 2);
    EXPECT_EQ(std::count(records[5].checkMarks.begin(), records[5].checkMarks.end(), true), 0);
}

// The stored centres of a record never shown may be stale: the export computes them anew.
TEST(Csv, CentresComeFromTheLandmarksNotFromTheStoredCells) {
    auto engine = store::makeWorkbookEngine();
    auto book = engine->create();
    tool::generateWorkbook(*book, 6, "/data");
    book->sheet("ID").setCell(3, 5, store::CellValue::single(999));
    book->sheet("COGS").setCell(3, 2, store::CellValue::single(999));
    const std::vector<RecordData> records = store::readWorkbookRecords(*book);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].memo, "demo0");
    EXPECT_EQ(records[3].sex, 1);
    const QList<QByteArray> lines = recordsCsv(records).split('\n');
    const QList<QByteArray> demo0 = lines[1].split(',');
    EXPECT_EQ(demo0[4].toFloat(), computeResults(records[0]).body.x);
    EXPECT_NE(demo0[4], "999");
    EXPECT_NE(demo0[6], "999");
}

// ---------------------------------------------------------------------------------------------
// Annotated picture

bool magenta(QRgb c) {
    return qRed(c) > 100 && qGreen(c) < 60 && qBlue(c) > 100;
}

struct PictureCase {
    const char *name;
    QSize size;  // of the picture; empty for a record without one
};

void PrintTo(const PictureCase &c, std::ostream *os) {
    *os << c.name;
}

class AnnotatedPictureFile : public ::testing::TestWithParam<PictureCase> {};

TEST_P(AnnotatedPictureFile, KeepsThePictureSizeAndMarksTheCentrePixel) {
    const PictureCase &c = GetParam();
    QImage picture;
    if (!c.size.isEmpty()) {
        picture = QImage(c.size, QImage::Format_RGB32);
        picture.fill(QColor(90, 110, 90));
    }
    const RecordData record = demoRecord(5, 0, "memo");
    const Results results = computeResults(record);
    QTemporaryDir dir;
    const QString path = dir.filePath(QString("out%1").arg(c.name));
    saveAnnotatedPicture(path, annotatedPicture(record, results, picture));

    QImage back(path);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), c.size.isEmpty() ? QSize(641, 481) : c.size);
    const bool jpeg = path.endsWith(".jpg");
    EXPECT_EQ(readFile(path).left(2), jpeg ? QByteArray("\xFF\xD8") : QByteArray("\x89P"));
    const QPointF cog = modelToPicture(results.body, areaHeightFor(picture.size()));
    EXPECT_TRUE(magenta(back.pixel(int(cog.x()), int(cog.y()))))
        << std::hex << back.pixel(int(cog.x()), int(cog.y()));
    // Far from every mark the picture is left as it was.
    const QRgb corner = back.pixel(back.width() - 2, back.height() / 2);
    EXPECT_FALSE(magenta(corner));
}

INSTANTIATE_TEST_SUITE_P(Sizes, AnnotatedPictureFile,
                         ::testing::Values(PictureCase{".png", {640, 480}},
                                           PictureCase{"_large.png", {2560, 1920}},
                                           PictureCase{".jpg", {640, 480}},
                                           PictureCase{"_none.png", {}}),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(AnnotatedPicture, MarksGrowWithThePicture) {
    EXPECT_EQ(overlayScale({640, 480}), 1.0);
    EXPECT_EQ(overlayScale({320, 240}), 1.0);
    EXPECT_NEAR(overlayScale({2564, 1924}), 4.0, 1e-9);
}

// ---------------------------------------------------------------------------------------------
// PDF report

TEST(PdfReport, OneA4PageWithTheRecordTheSourceAndTheVersion) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::lightGray);
    RecordData record = demoRecord(12, 1, "跳躍前 standing");
    record.checkMarks[15] = true;  // the heel at the base's right end, within the centre's reach
    saveReport(path, record, computeResults(record), picture,
               QDateTime(QDate(2026, 12, 10), QTime(13, 30)));

    const auto info = run("pdfinfo", {path});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Pages:           1")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("(A4)")) << info.out.toStdString();

    const auto text = run("pdftotext", {"-layout", path, "-"});
    ASSERT_EQ(text.status, 0);
    const QString t = QString::fromUtf8(text.out);
    for (const char *expected :
         {"Record 12", "Female", "跳躍前 standing", "2026-12-10", "松井秀治（1958）",
          "Version 2.00-2010", "% of stature", "右踵 right heel", "左下腿 left lower leg",
          "depends on points to check"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(expected))) << expected << " in:\n"
                                                             << t.toStdString();

    if (qEnvironmentVariableIsSet("KEEP_PDF")) QFile::copy(path, qEnvironmentVariable("KEEP_PDF"));
    const auto png = run("pdftoppm", {"-r", "30", "-png", "-singlefile", path, dir.filePath("p")});
    ASSERT_EQ(png.status, 0) << png.err.toStdString();
    const QImage page(dir.filePath("p.png"));
    EXPECT_FALSE(page.isNull());
    EXPECT_LT(page.width(), page.height());
}

// No two words of the page overlap: the footer's source line and the version beside it, the
// longest texts on one line, stay apart (pdftotext's word boxes, in points).
TEST(PdfReport, NoTextRunsIntoAnother) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QImage picture(4032, 3024, QImage::Format_RGB32);
    picture.fill(Qt::lightGray);
    const RecordData record = demoRecord(7, 0, "m");
    saveReport(path, record, computeResults(record), picture, QDateTime::currentDateTime());
    const auto boxes = run("pdftotext", {"-bbox", path, "-"});
    ASSERT_EQ(boxes.status, 0) << boxes.err.toStdString();
    const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re"));
    std::vector<std::pair<QRectF, QString>> words;
    for (auto it = word.globalMatch(QString::fromUtf8(boxes.out)); it.hasNext();) {
        const auto m = it.next();
        words.push_back({QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                         m.captured(5)});
    }
    ASSERT_GT(words.size(), 50u);
    bool versionSeen = false;
    for (size_t a = 0; a < words.size(); ++a) {
        versionSeen = versionSeen || words[a].second == QStringLiteral("2.00-2010");
        for (size_t b = a + 1; b < words.size(); ++b) {
            // A hair of overlap is how the glyph boxes of neighbouring words touch.
            const QRectF overlap = words[a].first.intersected(words[b].first);
            EXPECT_FALSE(overlap.width() > 0.5 && overlap.height() > 0.5)
                << words[a].second.toStdString() << " runs into " << words[b].second.toStdString();
        }
    }
    EXPECT_TRUE(versionSeen);
}

// ---------------------------------------------------------------------------------------------
// Failed writes: error 75 with the reason, the chosen name untouched, no temporary left over.

int errorOf(const std::function<void()> &f, std::string *message = nullptr) {
    try {
        f();
    } catch (const Error &e) {
        if (message) *message = e.what();
        return e.number();
    }
    return 0;
}

QStringList entries(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

using Exporter = std::function<void(const QString &path)>;

Exporter csvExporter() {
    return [](const QString &path) { exportCsv(path, {demoRecord(0, 0, "m")}); };
}

struct ExporterCase {
    const char *name;
    Exporter write;
};

std::vector<ExporterCase> exporters() {
    const RecordData r = demoRecord(4, 0, "m");
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    return {{"csv", csvExporter()},
            {"png",
             [=](const QString &p) {
                 saveAnnotatedPicture(p, annotatedPicture(r, computeResults(r), picture));
             }},
            {"pdf", [=](const QString &p) {
                 saveReport(p, r, computeResults(r), picture, QDateTime::currentDateTime());
             }}};
}

TEST(WriteFailure, FullDiskLeavesTheFormerFileAndNoTemporary) {
    for (const ExporterCase &c : exporters()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString("out.") + c.name);
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("former content");
        }
        // A file size limit makes the write fail part way, as a full disk does.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 100;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        std::string message;
        const int number = errorOf([&] { c.write(path); }, &message);
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(number, 75);
        EXPECT_NE(message.find(std::strerror(EFBIG)), std::string::npos) << message;
        EXPECT_NE(message.find(path.toStdString()), std::string::npos) << message;
        EXPECT_EQ(readFile(path), "former content");
        EXPECT_EQ(entries(dir.path()), QStringList{QString("out.") + c.name});
        // And the same export goes through once the disk has room again.
        EXPECT_EQ(errorOf([&] { c.write(path); }), 0);
        EXPECT_NE(readFile(path), "former content");
    }
}

TEST(WriteFailure, PathsThatCannotBeWritten) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder");
    for (const QString &path : {dir.filePath("missing/out.csv"), dir.filePath("folder")}) {
        SCOPED_TRACE(path.toStdString());
        std::string message;
        EXPECT_EQ(errorOf([&] { csvExporter()(path); }, &message), 75);
        EXPECT_NE(message.find(path.toStdString()), std::string::npos) << message;
    }
    EXPECT_EQ(entries(dir.path()), QStringList{});
}

// Real file systems: a read-only one and a full one, mounted for the test. Needs the right to
// mount (root in a container that allows it); without it the test says so and skips.
class MountedFolder : public ::testing::Test {
  protected:
    bool mount(const QString &options) {
        mountPoint_ = dir_.filePath("mnt");
        QDir().mkpath(mountPoint_);
        if (geteuid() != 0) return false;
        mounted_ = run("mount", {"-t", "tmpfs", "-o", options, "tmpfs", mountPoint_}).status == 0;
        return mounted_;
    }
    void TearDown() override {
        if (mounted_) run("umount", {mountPoint_});
    }
    QTemporaryDir dir_;
    QString mountPoint_;
    bool mounted_ = false;
};

TEST_F(MountedFolder, ReadOnlyFileSystem) {
    if (!mount("ro,size=64k")) GTEST_SKIP() << "cannot mount a file system here";
    for (const ExporterCase &c : exporters()) {
        std::string message;
        EXPECT_EQ(errorOf([&] { c.write(mountPoint_ + "/out." + c.name); }, &message), 75);
        EXPECT_NE(message.find("Read-only file system"), std::string::npos) << message;
    }
    EXPECT_EQ(entries(mountPoint_), QStringList{});
}

TEST_F(MountedFolder, FullFileSystem) {
    // 16 KiB: too small for the report and the large picture, which are written in full or not
    // at all.
    if (!mount("size=16k")) GTEST_SKIP() << "cannot mount a file system here";
    const RecordData r = demoRecord(4, 0, "m");
    QImage noise(1200, 900, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    std::string message;
    const QString path = mountPoint_ + "/out.png";
    EXPECT_EQ(
        errorOf([&] { saveAnnotatedPicture(path, annotatedPicture(r, computeResults(r), noise)); },
                &message),
        75);
    EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
    EXPECT_EQ(entries(mountPoint_), QStringList{});
}

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
