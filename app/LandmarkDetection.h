#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "pose/ModelLocation.h"
#include "pose/PoseModule.h"

class QLibrary;
class QThread;

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

// Runs the pose detector off the window's thread. The detector is a module (pose/PoseModule.h)
// loaded, with the network, by the first request on the worker: the program's start loads
// neither OpenCV nor the network, and the window never waits for them. One request at a time;
// the result arrives through finished() on the thread that owns this object.
class LandmarkDetection : public QObject {
    Q_OBJECT
  public:
    // model: where the network is; module: the detector module (empty: none). Either missing
    // makes the feature absent, and WhyUnavailable() says why.
    LandmarkDetection(pose::ModelLocation model, std::filesystem::path module,
                      QObject *parent = nullptr);
    // Waits for a running request to end (at most one detection's time).
    ~LandmarkDetection() override;

    bool Available() const { return model_.found() && !module_.empty(); }
    std::string WhyUnavailable() const;
    bool Busy() const { return running_ != nullptr; }

    // Starts a detection on a copy of the picture; returns its ticket, 0 when unavailable or busy.
    uint64_t Start(const QImage &picture);

  signals:
    void finished(const pondera::LandmarkDetectionResult &result);

  private:
    LandmarkDetectionResult run(uint64_t ticket, const QImage &picture);

    pose::ModelLocation model_;
    std::filesystem::path module_;
    // Used by the worker only, one request at a time.
    std::unique_ptr<QLibrary> library_;
    void *detector_ = nullptr;
    PonderaPoseDetect detect_ = nullptr;
    PonderaPoseClose close_ = nullptr;
    QString loadError_;  // why the module or the network could not be loaded, once tried

    QThread *running_ = nullptr;
    uint64_t lastTicket_ = 0;
};

}  // namespace pondera

Q_DECLARE_METATYPE(pondera::LandmarkDetectionResult)
