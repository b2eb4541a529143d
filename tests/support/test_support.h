#pragma once

// Helpers every test area shares: a temporary folder, the error number an operation raises,
// whole-file byte I/O, a small zip writer and running a command line.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"

namespace pondera::testing {

// A folder of its own under the system's temporary folder, removed with the object (also when a
// test left it or its files read-only).
class TempDir {
  public:
    explicit TempDir(const std::string &prefix = "pondera_test");
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    std::string operator/(const std::string &name) const { return file(name); }

  private:
    std::filesystem::path path_;
};

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

// The whole file; throws when it cannot be read.
std::vector<uint8_t> readBytes(const std::string &path);
std::string readText(const std::string &path);
// Replaces the file's content; throws when it cannot be written.
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);
void writeText(const std::string &path, const std::string &text);

// A zip package in memory, made with libzip the way a producer would: one deflated entry per
// part, in the order given. padBytes spaces are streamed into the first part after its first
// padAfter bytes, without ever holding them in memory (for packages that inflate to far more
// than they weigh).
std::vector<uint8_t> makeZip(const std::vector<std::pair<std::string, std::string>> &parts,
                             uint64_t padBytes = 0, size_t padAfter = 0);

// Runs body in a child process as an ordinary user: when the tests run as root, the child first
// gives the folders and files in owned to user and group nobody (65534) and then becomes nobody,
// so that permissions hold as they do for a user. body returns what went wrong, empty when
// nothing did; the result is that text, or why the child did not finish.
std::string runUnprivileged(const std::function<std::string()> &body,
                            const std::vector<std::filesystem::path> &owned);

// Quotes a word for /bin/sh.
std::string shellQuote(const std::string &s);

struct RunResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Runs a shell command line, capturing its output and error streams.
RunResult runCommand(const std::string &command);

}  // namespace pondera::testing
