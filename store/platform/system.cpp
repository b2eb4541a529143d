#include "store/platform/system.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "base/error.h"
#include "store/platform/files.h"

namespace pondera::store {

std::string currentDirectory() {
    std::string buf(4096, '\0');
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        const int e = errno;
        if (e != ERANGE)
            throw Error(errorNumberForErrno(e),
                        "Cannot read the current directory \".\": " + errnoText(e));
        buf.resize(buf.size() * 2);
    }
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

int64_t availableMemoryBytes() {
    // MemAvailable counts the page cache the kernel gives back on demand, which free memory
    // alone leaves out.
    std::ifstream info("/proc/meminfo");
    std::string key;
    long long kilobytes = 0;
    while (info >> key >> kilobytes) {
        if (key == "MemAvailable:") return kilobytes * 1024;
        info.ignore(256, '\n');
    }
    return -1;
}

std::string userName() {
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char *u = std::getenv("USER")) return u;
    return "user";
}

std::string hostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}

std::string homeDirectory() {
    if (const char *h = std::getenv("HOME"); h && *h) return h;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string localTimeText(const char *format) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    char buf[64] = {};
    if (::localtime_r(&now, &tm)) std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

namespace {

int endPipe[2] = {-1, -1};

void onEndSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(endPipe[1], &byte, 1);
}

}  // namespace

int endRequestPipe() {
    if (endPipe[0] >= 0) return endPipe[0];
    if (::pipe(endPipe) != 0) return -1;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    return endPipe[0];
}

void takeEndRequest(int fd) {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(fd, &byte, 1);
}

}  // namespace pondera::store
