#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "store/records/ClassEXCEL.h"

class QSplashScreen;
class QWidget;

namespace pondera {

using StartStep = ClassEXCEL::StartStep;

// Whether a start has taken long enough to show its progress, without a widget. A start shows
// nothing until it has run for `showAfterMs`; from then on every step is shown until the last.
// A step that opens a workbook file of `largeBytes` or more is shown at once: it runs as one
// piece, so waiting for the next step would leave the screen empty for all of it.
class StartProgressTimer {
  public:
    static constexpr int64_t kShowAfterMs = 500;
    static constexpr uint64_t kLargeWorkbookBytes = 16u << 20;
    // Milliseconds from any fixed point; empty: a steady clock.
    using Clock = std::function<int64_t()>;

    explicit StartProgressTimer(Clock clock = {}, int64_t showAfterMs = kShowAfterMs,
                                uint64_t largeBytes = kLargeWorkbookBytes);
    // Notes that step begins (workbookBytes: the size of the workbook file, 0 for none); true
    // when progress is to be on screen during it. Ended is never shown.
    bool Begin(StartStep step, uint64_t workbookBytes);

  private:
    Clock clock_;
    int64_t startedAt_;
    int64_t showAfterMs_;
    uint64_t largeBytes_;
    bool showing_ = false;
};

// The progress of a start on screen: a splash naming the step that runs, shown only when the
// timer says so, and kept painted while the window's thread is busy with the start. It goes at
// the Ended step (before any message of the start is shown) or with this object.
class StartProgress {
  public:
    explicit StartProgress(StartProgressTimer timer = StartProgressTimer());
    ~StartProgress();
    StartProgress(const StartProgress &) = delete;
    StartProgress &operator=(const StartProgress &) = delete;

    // What the record store calls at each step (ClassEXCEL::Options::progress).
    std::function<void(StartStep)> Reporter();
    void Step(StartStep step);
    // The splash while it is on screen, else null.
    QSplashScreen *Splash() const { return splash_.get(); }
    // The words for a step in the user's language; empty for Ended.
    static QString StepText(StartStep step);

  private:
    StartProgressTimer timer_;
    std::unique_ptr<QSplashScreen> splash_;
};

}  // namespace pondera
