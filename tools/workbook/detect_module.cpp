// The module's side of `detect`: the one symbol the tool looks up.
#include <cstdio>
#include <exception>
#include <type_traits>

#include "model/error.h"
#include "tools/workbook/detect_module.h"

extern "C" __attribute__((visibility("default"))) int pondera_workbook_detect(
    const pondera::tool::DetectOptions *options, std::ostream *out, std::ostream *err,
    pondera::tool::DetectModuleFailure *failure) {
    try {
        return pondera::tool::detectLandmarks(*options, *out, *err);
    } catch (const pondera::Error &e) {
        failure->number = e.number();
        std::snprintf(failure->message, sizeof failure->message, "%s", e.what());
    } catch (const std::exception &e) {
        failure->number = 0;
        std::snprintf(failure->message, sizeof failure->message, "%s", e.what());
    }
    return -1;
}

// The tool and the module agree on the entry's type.
static_assert(std::is_same_v<decltype(&pondera_workbook_detect), pondera::tool::DetectModuleEntry>);
