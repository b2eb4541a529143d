#include "app/LandmarkDetection.h"

#include <QThread>
#include <opencv2/core.hpp>

#include "pose/LandmarkMapping.h"
#include "pose/PoseDetector.h"

namespace pondera {

LandmarkDetection::LandmarkDetection(pose::ModelLocation model, QObject *parent)
    : QObject(parent), model_(std::move(model)) {
    qRegisterMetaType<LandmarkDetectionResult>();
}

LandmarkDetection::~LandmarkDetection() {
    if (running_) running_->wait();
    delete running_;
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
    try {
        if (!detector_) detector_ = std::make_unique<pose::PoseDetector>(model_.file);
        // The detector reads BGR; Qt's 32-bit RGB is B, G, R, unused in memory order.
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
        const cv::Mat wrapped(rgb.height(), rgb.width(), CV_8UC4,
                              const_cast<uchar *>(rgb.constBits()), size_t(rgb.bytesPerLine()));
        const pose::NetworkPose found = detector_->detect(wrapped);
        result.poseFlag = found.poseFlag;
        if (!found.personFound) {
            result.outcome = LandmarkDetectionResult::Outcome::kNoPerson;
            return result;
        }
        const auto guesses = pose::mapToLandmarks(found);
        for (int i = 0; i < pose::kLandmarkCount; ++i) {
            result.points[i] = QPointF(guesses[i].pos.x, guesses[i].pos.y);
            result.needsCheck[i] = guesses[i].needsCheck;
        }
        result.outcome = LandmarkDetectionResult::Outcome::kFound;
    } catch (const std::exception &e) {
        result.outcome = LandmarkDetectionResult::Outcome::kFailed;
        result.message = QString::fromStdString(e.what());
    }
    return result;
}

}  // namespace pondera
