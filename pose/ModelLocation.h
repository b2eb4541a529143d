// Where the converted pose network is, or why this build has none.
#pragma once

#include <filesystem>
#include <string>

namespace pose {

inline constexpr const char *kModelFileName = "pose_landmark_full.onnx";
// The person detection network, which the build puts beside the landmark network (or neither).
inline constexpr const char *kPersonModelFileName = "pose_detection.onnx";
// Written by the build in place of the network when it could not be made; holds the reason.
inline constexpr const char *kUnavailableFileName = "pose_landmark_full.unavailable";

struct ModelLocation {
    std::filesystem::path file;  // empty when there is no network
    std::string whyMissing;      // one sentence when file is empty
    bool found() const { return !file.empty(); }
};

// Looks beside the program first (programDir; empty: the running executable's folder), then in the
// installed data folder, then in the build tree's model folder.
ModelLocation locateModel(const std::filesystem::path &programDir = {});

// The detector as a loadable module (pose/PoseModule.h): beside the program, then in the installed
// library folder, then where the build puts it. Empty when there is none.
inline constexpr const char *kPoseModuleFileName = "libpondera2d-pose.so";
std::filesystem::path locateModule(const std::filesystem::path &programDir = {});

}  // namespace pose
