// Dragging a landmark over a 12-megapixel photograph, on the offscreen platform:
//  - BM_DragMove: one move of the pointer with the button held, as the window gets it: the
//    landmark and the centres follow, the value boxes show the new numbers, the overlay is
//    redrawn and the picture area painted (synchronously). Counter median_ms (goal: 4 ms).
//  - BM_DragRelease: the release that ends a drag: the final position stored, centres written,
//    the store committed. Counter median_ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
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

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void reportMedian(benchmark::State &state, std::vector<double> &times) {
    std::sort(times.begin(), times.end());
    if (!times.empty()) state.counters["median_ms"] = times[times.size() / 2];
}

// A window showing a new record over a painted 4000 x 3000 JPEG, with a press on the picture.
struct DragScene {
    QTemporaryDir dir;
    std::unique_ptr<FormMain> form;
    QWidget *picture = nullptr;

    DragScene() {
        QDir::setCurrent(dir.path());
        QImage photo(4000, 3000, QImage::Format_RGB32);
        QPainter painter(&photo);
        for (int band = 0; band < 3000; band += 50)
            painter.fillRect(0, band, 4000, 50, QColor::fromHsv((band / 50 * 7) % 360, 90, 200));
        painter.end();
        const QString file = dir.filePath("photo.jpg");
        photo.save(file, "JPEG", 90);

        pondera::FormMainHooks hooks;
        hooks.message = [](const QString &text) { fprintf(stderr, "%s\n", qPrintable(text)); };
        hooks.chooseFile = [file](QWidget *) { return file; };
        hooks.runDialog = [](QDialog &) { return 0; };
        hooks.ask = [](const QString &) { return false; };
        pondera::CurIDCode = -1;
        form = std::make_unique<FormMain>(hooks);
        form->show();
        form->New_Click();
        form->Load_Picture_Click();
        QCoreApplication::processEvents();
        picture = form->Picture1();
    }

    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), picture->mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(picture, &event);
    }
    void press(QPoint at) { send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void move(QPoint at) { send(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void release(QPoint at) { send(QEvent::MouseButtonRelease, at, Qt::LeftButton, {}); }
};

void BM_DragMove(benchmark::State &state) {
    DragScene scene;
    scene.press(QPoint(300, 200));
    std::vector<double> times;
    int step = 0;
    for (auto _ : state) {
        const QPoint at(300 + step % 200, 200 + (step / 200) % 200);
        ++step;
        const auto begin = Clock::now();
        scene.move(at);
        scene.picture->repaint();
        times.push_back(milliseconds(Clock::now() - begin));
    }
    scene.release(QPoint(300, 200));
    reportMedian(state, times);
}
BENCHMARK(BM_DragMove)->Unit(benchmark::kMillisecond)->Iterations(400);

void BM_DragRelease(benchmark::State &state) {
    DragScene scene;
    std::vector<double> times;
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scene.press(QPoint(100 + step % 300, 100));
        scene.move(QPoint(120 + step % 300, 130));
        ++step;
        state.ResumeTiming();
        const auto begin = Clock::now();
        scene.release(QPoint(120 + step % 300, 130));
        times.push_back(milliseconds(Clock::now() - begin));
    }
    reportMedian(state, times);
}
BENCHMARK(BM_DragRelease)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
