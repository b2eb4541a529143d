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
// A step known to be slow for the workbook's size is shown at once, as it runs as one piece and
// waiting for the next step would leave the screen empty for all of it: reading or writing a
// file of `largeBytes` or more, converting an OOXML package of `largeConvertBytes` or more (it
// is compressed, and converting 1 MB of it takes about a quarter of a second).
class StartProgressTimer {
  public:
    static constexpr int64_t kShowAfterMs = 500;
    static constexpr uint64_t kLargeWorkbookBytes = 16u << 20;
    static constexpr uint64_t kLargeConvertBytes = 1u << 20;
    // Milliseconds from any fixed point; empty: a steady clock.
    using Clock = std::function<int64_t()>;

    explicit StartProgressTimer(Clock clock = {}, int64_t showAfterMs = kShowAfterMs,
                                uint64_t largeBytes = kLargeWorkbookBytes,
                                uint64_t largeConvertBytes = kLargeConvertBytes);
    // Notes that step begins (workbookBytes: the size of the workbook file, 0 for none); true
    // when progress is to be on screen during it. Ended is never shown.
    bool Begin(StartStep step, uint64_t workbookBytes);

  private:
    Clock clock_;
    int64_t startedAt_;
    int64_t showAfterMs_;
    uint64_t largeBytes_;
    uint64_t largeConvertBytes_;
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
