// The tool's side of `detect`: find the module, load it, run the command there.
#include <stdexcept>
#include <string>

#include "base/error.h"
#include "store/platform/files.h"
#include "store/platform/modules.h"
#include "tools/workbook/detect_module.h"

namespace pondera::tool {

namespace {

// Beside the program (the build tree), then the installed library folder relative to it.
std::string locateDetectModule() {
    const std::string folder = store::programFolder();
    if (folder.empty()) return {};
    for (const std::string &dir : {folder, folder + "/" + PONDERA_DETECT_MODULE_REL}) {
        const std::string path = dir + "/" + kDetectModuleFileName;
        if (store::targetKind(path) == store::FileKind::Regular) return path;
    }
    return {};
}

}  // namespace

namespace {

// Loads the module and runs one of its entries: the command's outputs, status and exceptions.
template <typename Entry, typename Options>
int runEntry(const char *symbol, const Options &options, std::ostream &out, std::ostream &err) {
    const std::string path = locateDetectModule();
    if (path.empty())
        throw Error(kErrFileAccess,
                    std::string("landmark detection is not available: the module ") +
                        kDetectModuleFileName + " is neither beside the program nor installed");
    std::string why;
    void *module = store::loadModule(path, why);
    const auto entry = reinterpret_cast<Entry>(store::moduleSymbol(module, symbol));
    if (!entry)
        throw Error(kErrFileAccess, "landmark detection is not available: " +
                                        (why.empty() ? path + " has no entry " + symbol : why));
    DetectModuleFailure failure{};
    const int status = entry(&options, &out, &err, &failure);
    if (status >= 0) return status;
    if (failure.number != 0) throw Error(failure.number, failure.message);
    throw std::runtime_error(failure.message);
}

}  // namespace

int runDetectModule(const DetectOptions &options, std::ostream &out, std::ostream &err) {
    return runEntry<DetectModuleEntry>(kDetectModuleEntry, options, out, err);
}

int runTrackModule(const TrackOptions &options, std::ostream &out, std::ostream &err) {
    return runEntry<TrackModuleEntry>(kTrackModuleEntry, options, out, err);
}

}  // namespace pondera::tool
