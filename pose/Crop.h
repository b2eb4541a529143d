// What both networks share: square crops of a picture, turned and scaled, as they take them, and
// loading a network file. Internal to pose/.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

namespace pose {

cv::Point2d applyAffine(const cv::Matx23d &m, cv::Point2d p);

// Turns a map between continuous coordinates (pixel i covers [i, i+1)) into one between pixel
// indices, the form cv::warpAffine works in.
cv::Matx23d toPixelIndices(const cv::Matx23d &m);

// The map from a side × side crop to the picture for a square region: centre and width in picture
// pixels, `up` the unit direction in the picture that becomes the crop's upward direction.
cv::Matx23d cropToPictureMap(cv::Point2d centre, double width, cv::Point2d up, int side);

// The crop itself (8-bit BGR, side × side, black where it reaches beyond the picture). A large
// picture is shrunk with area averaging first, so that bilinear sampling skips no pixels.
cv::Mat cutCrop(const cv::Mat &bgr, const cv::Matx23d &cropToPicture, int side);

// Reads an ONNX network for OpenCV's own CPU backend; `what` names it in the PoseError a missing,
// unreadable, empty or foreign file raises (a file without one of `outputs` is foreign).
cv::dnn::Net readNetwork(const std::filesystem::path &onnxFile, const std::string &what,
                         const std::vector<cv::String> &outputs);

}  // namespace pose
