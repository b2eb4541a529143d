#include "pose/ModelLocation.h"

#include <fstream>
#include <vector>

namespace pose {

ModelLocation locateModel(const std::filesystem::path &programDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path beside = programDir;
    if (beside.empty()) beside = fs::read_symlink("/proc/self/exe", ec).parent_path();
    if (!PONDERA_POSE_ENABLED) {
        return {{}, "This build leaves automatic landmark detection out (PONDERA_POSE=OFF)."};
    }
    const std::vector<fs::path> dirs = {beside, PONDERA_POSE_DATA_DIR, PONDERA_POSE_BUILD_DIR};
    for (const fs::path &dir : dirs) {
        if (!dir.empty() && fs::is_regular_file(dir / kModelFileName, ec)) {
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
            std::string("The pose network ") + kModelFileName +
                " is neither beside the program nor in " + PONDERA_POSE_DATA_DIR + "."};
}

}  // namespace pose
