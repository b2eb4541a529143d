// How long the exports take with the largest record list and with large pictures: reading every
// record from the store, building the CSV, drawing the annotated picture and laying out the PDF.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <string>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "report/AnnotatedPicture.h"
#include "report/CsvExport.h"
#include "report/PdfReport.h"
#include "report/RecordData.h"
#include "store/records/ClassEXCEL.h"
#include "store/xls/workbook_engine.h"
#include "tools/workbook/generate.h"

using namespace pondera;

namespace {

// The store's largest list: codes 0 to 32764 (the row of a code, code + 3, must stay 16-bit).
constexpr int kRecords = 32765;

std::vector<report::RecordData> generatedRecords(int count) {
    auto book = store::makeWorkbookEngine()->create();
    tool::generateWorkbook(*book, count, "/data");
    return store::readWorkbookRecords(*book);
}

void BM_ReadStoreRecords(benchmark::State &state) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    {
        auto book = store::makeWorkbookEngine()->create();
        tool::generateWorkbook(*book, kRecords, d);
        book->saveAs(d + "/PONDERA2D_2010.xls");
    }
    ClassLANDMARK landMark;
    ClassSEGMENT segment(landMark);
    ClassEXCEL store(landMark, segment, ClassEXCEL::Options{d, nullptr});
    for (auto _ : state)
        benchmark::DoNotOptimize(store::readStoreRecords(store));
    state.SetItemsProcessed(state.iterations() * kRecords);
    store.Close();
}
BENCHMARK(BM_ReadStoreRecords)->Unit(benchmark::kMillisecond);

void BM_RecordsCsv(benchmark::State &state) {
    const std::vector<report::RecordData> records = generatedRecords(kRecords);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = static_cast<size_t>(report::recordsCsv(records).size());
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_RecordsCsv)->Unit(benchmark::kMillisecond);

report::RecordData demoRecord() {
    report::RecordData r;
    r.code = 3;
    r.sex = 1;
    r.memo = "demo3";
    for (size_t i = 0; i < 22; ++i)
        r.landmarks[i] = {float(kDemoSetB[i].x), float(kDemoSetB[i].z)};
    return r;
}

void BM_AnnotatedPicture(benchmark::State &state) {
    QImage picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   QImage::Format_RGB32);
    picture.fill(Qt::gray);
    const report::RecordData r = demoRecord();
    const report::Results results = report::computeResults(r);
    for (auto _ : state)
        benchmark::DoNotOptimize(report::annotatedPicture(r, results, picture));
}
BENCHMARK(BM_AnnotatedPicture)->Args({640, 480})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

void BM_PdfReport(benchmark::State &state) {
    // A picture with detail, as a photograph has, so the image's share of the file is real.
    QImage picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    const report::RecordData r = demoRecord();
    const report::Results results = report::computeResults(r);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = static_cast<size_t>(
            report::pdfReport(r, results, picture, QDateTime::currentDateTime()).size());
    state.counters["KiB"] = static_cast<double>(bytes) / 1024.0;
}
BENCHMARK(BM_PdfReport)->Args({640, 480})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
