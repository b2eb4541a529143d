// The picture view with a phone photo (4032 x 3024 JPEG, painted here), on the offscreen
// platform, in the real main window:
//  - BM_LoadPhotoFitted: Load Picture with that photo: decoded, name stored, record shown again,
//    the view fitted and painted. Two photo files alternate so every load decodes.
//  - BM_ClickOnPhoto: one click on the fitted photo: landmark stored, markers redrawn and
//    painted, centres written, the store committed.
//  - BM_ZoomPanFrame/<zoom>: one frame while zooming and panning (a zoom step or a scroll of the
//    view, then a repaint), at the fitted zoom (0), 1:1 (1) and 4:1 (4).
//  Counters: median_ms; BM_LoadPhotoFitted also photo_mb (decoded size) and rss_growth_mb (the
//  process's resident memory added by showing the photo, measured once on the first load).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"

namespace {

using Clock = std::chrono::steady_clock;
using pondera::FormMain;
using pondera::FormMainHooks;
using pondera::PictureView;

// A photo-like picture: gradients, shapes and sensor grain, so the JPEG has a photo's size.
QImage paintPhoto(int w, int h, quint32 seed) {
    QImage photo(w, h, QImage::Format_RGB32);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(120, 160, 220));
    sky.setColorAt(1, QColor(200, 180, 140));
    painter.fillRect(photo.rect(), sky);
    QRandomGenerator random(seed);
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromRgb(random.generate() | 0xff000000u));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(random.bounded(w), random.bounded(h)), random.bounded(200),
                            random.bounded(200));
    }
    painter.end();
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(9)) - 4;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return photo;
}

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void reportMedian(benchmark::State &state, std::vector<double> &times) {
    std::sort(times.begin(), times.end());
    if (!times.empty()) state.counters["median_ms"] = times[times.size() / 2];
}

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.simplified().split(' ').value(1).toLong();
    return -1;
}

// A window on a new workbook in a folder of its own, with the two photos beside it.
struct Fixture {
    QTemporaryDir dir;
    QString next;  // what the picture dialog returns
    std::unique_ptr<FormMain> form;
    QStringList photos;

    Fixture() {
        QDir::setCurrent(dir.path());
        for (int i = 0; i < 2; ++i) {
            photos << dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
            paintPhoto(4032, 3024, 7 + i).save(photos.back(), "JPEG", 90);
        }
        FormMainHooks hooks;
        hooks.message = [](const QString &text) {
            fprintf(stderr, "message: %s\n", qPrintable(text));
        };
        hooks.chooseFile = [this](QWidget *) { return next; };
        hooks.runDialog = [](QDialog &) { return 0; };
        pondera::CurIDCode = -1;
        form = std::make_unique<FormMain>(hooks);
        form->show();
        QCoreApplication::processEvents();
    }
    ~Fixture() {
        form->close();
        form.reset();
        QDir::setCurrent(QDir::tempPath());
    }
    void load(int i) {
        next = photos[i];
        form->Load_Picture_Click();
        form->Picture1()->viewport()->repaint();
    }
};

void BM_LoadPhotoFitted(benchmark::State &state) {
    Fixture f;
    std::vector<double> times;
    int n = 0;
    for (auto _ : state) {
        const long before = n == 0 ? residentKb() : 0;
        const auto begin = Clock::now();
        f.load(n % 2);
        const auto elapsed = Clock::now() - begin;
        if (n == 0) state.counters["rss_growth_mb"] = double(residentKb() - before) / 1024.0;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        times.push_back(milliseconds(elapsed));
        ++n;
    }
    if (!f.form->Picture1()->IsFitted()) state.SkipWithError("photo not fitted");
    state.counters["photo_mb"] = 4032.0 * 3024 * 4 / (1024 * 1024);
    reportMedian(state, times);
}
BENCHMARK(BM_LoadPhotoFitted)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_ClickOnPhoto(benchmark::State &state) {
    Fixture f;
    f.load(0);
    std::vector<double> times;
    int n = 0;
    for (auto _ : state) {
        f.form->OptionLandMark_Click(static_cast<int16_t>(n % 22));
        const float x = static_cast<float>(500 + 97 * n % 3000);
        const float y = static_cast<float>(300 + 61 * n % 2500);
        const auto begin = Clock::now();
        f.form->Picture1_MouseDown(1, 0, x, y);
        f.form->Picture1()->viewport()->repaint();
        const auto elapsed = Clock::now() - begin;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        times.push_back(milliseconds(elapsed));
        ++n;
    }
    reportMedian(state, times);
}
BENCHMARK(BM_ClickOnPhoto)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_ZoomPanFrame(benchmark::State &state) {
    Fixture f;
    f.load(0);
    PictureView *view = f.form->Picture1();
    const double zoom = state.range(0) == 0 ? view->Zoom() : double(state.range(0));
    const QPointF centre(view->viewport()->width() / 2.0, view->viewport()->height() / 2.0);
    view->SetZoom(zoom, centre);
    std::vector<double> times;
    int n = 0;
    for (auto _ : state) {
        const auto begin = Clock::now();
        if (n % 2 == 0) {
            // A zoom step in and back out about the centre.
            view->SetZoom(pondera::StepZoom(view->Zoom(), (n / 2) % 2 == 0 ? 1 : -1), centre);
        } else {
            view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->value() +
                                                  ((n / 2) % 2 == 0 ? 37 : -37));
        }
        view->viewport()->repaint();
        const auto elapsed = Clock::now() - begin;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        times.push_back(milliseconds(elapsed));
        ++n;
    }
    reportMedian(state, times);
}
BENCHMARK(BM_ZoomPanFrame)
    ->Arg(0)
    ->Arg(1)
    ->Arg(4)
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
