#include "pose/ModelLocation.h"

#include <fstream>
#include <vector>

namespace pose {

namespace {

std::filesystem::path programFolder(const std::filesystem::path &programDir) {
    std::error_code ec;
    if (!programDir.empty()) return programDir;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
}

}  // namespace

std::filesystem::path locateModule(const std::filesystem::path &programDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path beside = programFolder(programDir);
    for (const fs::path &dir : {beside, (beside / PONDERA_POSE_MODULE_REL).lexically_normal(),
                                fs::path(PONDERA_POSE_MODULE_BUILD_DIR)}) {
        if (!dir.empty() && fs::is_regular_file(dir / kPoseModuleFileName, ec))
            return dir / kPoseModuleFileName;
    }
    return {};
}

ModelLocation locateModel(const std::filesystem::path &programDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path beside = programFolder(programDir);
    if (!PONDERA_POSE_ENABLED) {
        return {{}, "This build leaves automatic landmark detection out (PONDERA_POSE=OFF)."};
    }
    const fs::path installed = (beside / PONDERA_POSE_DATA_REL).lexically_normal();
    const std::vector<fs::path> dirs = {beside, installed, PONDERA_POSE_BUILD_DIR};
    for (const fs::path &dir : dirs) {
        // Detection needs both networks; a folder with only one is a damaged installation.
        if (!dir.empty() && fs::is_regular_file(dir / kModelFileName, ec) &&
            fs::is_regular_file(dir / kPersonModelFileName, ec)) {
            return {dir / kModelFileName, {}};
        }
    }
    for (const fs::path &dir : dirs) {
        std::ifstream in(dir / kUnavailableFileName);
        std::string reason;
        if (in && std::getline(in, reason) && !reason.empty()) {
            return {{}, "The pose network was not built: " + reason + "."};
        }
    }
    return {{},
            std::string("The pose networks ") + kModelFileName + " and " + kPersonModelFileName +
                " are neither beside the program nor in " + installed.string() + "."};
}

}  // namespace pose
