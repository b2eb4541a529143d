#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "pose/ModelLocation.h"

class QThread;

namespace pose {
class PoseDetector;
}

namespace pondera {

// What one detection found on a picture, in picture pixels.
struct LandmarkDetectionResult {
    enum class Outcome { kFound, kNoPerson, kFailed };
    uint64_t ticket = 0;
    Outcome outcome = Outcome::kFailed;
    QString message;  // why it failed (kFailed)
    float poseFlag = 0;
    std::array<QPointF, 22> points{};
    std::array<bool, 22> needsCheck{};  // derived or uncertain: for the user to confirm
};

// Runs the pose detector off the window's thread: the network is loaded by the first request, on
// the worker, so neither the program's start nor the window ever waits for it. One request at a
// time; the result arrives through finished() on the thread that owns this object.
class LandmarkDetection : public QObject {
    Q_OBJECT
  public:
    // model: where the network is (found() false: the feature is absent, whyMissing says why).
    explicit LandmarkDetection(pose::ModelLocation model, QObject *parent = nullptr);
    // Waits for a running request to end (at most one detection's time).
    ~LandmarkDetection() override;

    bool Available() const { return model_.found(); }
    const std::string &WhyUnavailable() const { return model_.whyMissing; }
    bool Busy() const { return running_ != nullptr; }

    // Starts a detection on a copy of the picture; returns its ticket, 0 when unavailable or busy.
    uint64_t Start(const QImage &picture);

  signals:
    void finished(const pondera::LandmarkDetectionResult &result);

  private:
    LandmarkDetectionResult run(uint64_t ticket, const QImage &picture);

    pose::ModelLocation model_;
    std::unique_ptr<pose::PoseDetector> detector_;  // used by the worker only, one at a time
    QThread *running_ = nullptr;
    uint64_t lastTicket_ = 0;
};

}  // namespace pondera

Q_DECLARE_METATYPE(pondera::LandmarkDetectionResult)
