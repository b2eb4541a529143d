#include "app/LandmarkDetection.h"

#include <QLibrary>
#include <QThread>

namespace pondera {

LandmarkDetection::LandmarkDetection(pose::ModelLocation model, std::filesystem::path module,
                                     QObject *parent)
    : QObject(parent), model_(std::move(model)), module_(std::move(module)) {
    qRegisterMetaType<LandmarkDetectionResult>();
}

LandmarkDetection::~LandmarkDetection() {
    if (running_) running_->wait();
    delete running_;
    if (detector_ && close_) close_(detector_);
    // The module stays loaded until the process ends: OpenCV's threads may outlive the detector.
}

std::string LandmarkDetection::WhyUnavailable() const {
    if (!model_.found()) return model_.whyMissing;
    if (module_.empty())
        return std::string("The detector module ") + pose::kPoseModuleFileName +
               " is neither beside the program nor installed.";
    return {};
}

uint64_t LandmarkDetection::Start(const QImage &picture) {
    if (!Available() || running_) return 0;
    const uint64_t ticket = ++lastTicket_;
    running_ = QThread::create([this, ticket, picture] {
        LandmarkDetectionResult result = run(ticket, picture);
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                running_->wait();
                delete running_;
                running_ = nullptr;
                emit finished(result);
            },
            Qt::QueuedConnection);
    });
    running_->start();
    return ticket;
}

LandmarkDetectionResult LandmarkDetection::run(uint64_t ticket, const QImage &picture) {
    LandmarkDetectionResult result;
    result.ticket = ticket;
    if (!detector_ && loadError_.isEmpty()) {
        library_ = std::make_unique<QLibrary>(QString::fromStdString(module_.string()));
        const auto open = reinterpret_cast<PonderaPoseOpen>(library_->resolve("pondera_pose_open"));
        detect_ = reinterpret_cast<PonderaPoseDetect>(library_->resolve("pondera_pose_detect"));
        close_ = reinterpret_cast<PonderaPoseClose>(library_->resolve("pondera_pose_close"));
        if (!open || !detect_ || !close_) {
            loadError_ =
                QStringLiteral("the detector module %1 cannot be loaded: %2")
                    .arg(QString::fromStdString(module_.string()), library_->errorString());
        } else {
            char error[512] = {};
            detector_ = open(model_.file.c_str(), error, sizeof error);
            if (!detector_) loadError_ = QString::fromUtf8(error);
        }
    }
    if (!detector_) {
        result.message = loadError_;
        return result;
    }
    // Qt's 32-bit RGB lies in memory as B, G, R, unused: the module's pixel layout.
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    PonderaPoseResult found{};
    detect_(detector_, pixels.constBits(), pixels.width(), pixels.height(),
            int(pixels.bytesPerLine()), &found);
    result.poseFlag = found.poseFlag;
    if (found.outcome == 2) {
        result.message = QString::fromUtf8(found.message);
        return result;
    }
    if (found.outcome == 1) {
        result.outcome = LandmarkDetectionResult::Outcome::kNoPerson;
        return result;
    }
    for (int i = 0; i < kPoseModuleLandmarks; ++i) {
        result.points[i] = QPointF(found.x[i], found.y[i]);
        result.needsCheck[i] = found.needsCheck[i] != 0;
    }
    result.outcome = LandmarkDetectionResult::Outcome::kFound;
    return result;
}

}  // namespace pondera
