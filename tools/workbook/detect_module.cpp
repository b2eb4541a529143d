// The module's side of `detect` and `track`: the symbols the tool looks up.
#include <cstdio>
#include <exception>
#include <type_traits>

#include "base/error.h"
#include "tools/workbook/detect_module.h"

namespace {

// Runs a command, an exception turned into a return of -1 and the failure it was.
template <typename Run>
int guarded(pondera::tool::DetectModuleFailure *failure, Run &&run) {
    try {
        return run();
    } catch (const pondera::Error &e) {
        failure->number = e.number();
        std::snprintf(failure->message, sizeof failure->message, "%s", e.what());
    } catch (const std::exception &e) {
        failure->number = 0;
        std::snprintf(failure->message, sizeof failure->message, "%s", e.what());
    }
    return -1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int pondera_workbook_detect(
    const pondera::tool::DetectOptions *options, std::ostream *out, std::ostream *err,
    pondera::tool::DetectModuleFailure *failure) {
    return guarded(failure, [&] { return pondera::tool::detectLandmarks(*options, *out, *err); });
}

extern "C" __attribute__((visibility("default"))) int pondera_workbook_track(
    const pondera::tool::TrackOptions *options, std::ostream *out, std::ostream *err,
    pondera::tool::DetectModuleFailure *failure) {
    return guarded(failure, [&] { return pondera::tool::trackVideo(*options, *out, *err); });
}

// The tool and the module agree on the entries' types.
static_assert(std::is_same_v<decltype(&pondera_workbook_detect), pondera::tool::DetectModuleEntry>);
static_assert(std::is_same_v<decltype(&pondera_workbook_track), pondera::tool::TrackModuleEntry>);
