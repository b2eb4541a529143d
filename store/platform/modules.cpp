#include "store/platform/modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace pondera::store {

std::string programFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return {};
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash ? slash : 1);
}

void *loadModule(const std::string &path, std::string &why) {
    void *module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char *reason = ::dlerror();
        why = reason ? reason : "the system loader gave no reason";
    }
    return module;
}

void *moduleSymbol(void *module, const char *name) {
    return module ? ::dlsym(module, name) : nullptr;
}

}  // namespace pondera::store
