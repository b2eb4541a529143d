#pragma once

#include "model/error.h"

namespace pondera::testing {

// The error number f raises, or 0 when it completes.
template <typename F>
int errorNumberOf(F &&f) {
    try {
        f();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

}  // namespace pondera::testing
