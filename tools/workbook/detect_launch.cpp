// The tool's side of `detect`: find the module, load it, run the command there.
#include <stdexcept>
#include <string>

#include "model/error.h"
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

int runDetectModule(const DetectOptions &options, std::ostream &out, std::ostream &err) {
    const std::string path = locateDetectModule();
    if (path.empty())
        throw Error(kErrFileAccess,
                    std::string("landmark detection is not available: the module ") +
                        kDetectModuleFileName + " is neither beside the program nor installed");
    std::string why;
    void *module = store::loadModule(path, why);
    const auto entry =
        reinterpret_cast<DetectModuleEntry>(store::moduleSymbol(module, kDetectModuleEntry));
    if (!entry)
        throw Error(kErrFileAccess, "landmark detection is not available: " +
                                        (why.empty() ? path + " has no entry" : why));
    DetectModuleFailure failure{};
    const int status = entry(&options, &out, &err, &failure);
    if (status >= 0) return status;
    if (failure.number != 0) throw Error(failure.number, failure.message);
    throw std::runtime_error(failure.message);
}

}  // namespace pondera::tool
