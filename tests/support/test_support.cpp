#include "tests/support/test_support.h"

#include <grp.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace pondera::testing {

TempDir::TempDir(const std::string &prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeText(const std::string &path, const std::string &text) {
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

namespace {

// Streams one part's text with padding spaces inserted after padAfter bytes.
struct Padded {
    const std::string *text;
    uint64_t pad, padAfter, pos = 0;
};

zip_int64_t padSource(void *ud, void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto *p = static_cast<Padded *>(ud);
    const uint64_t total = p->text->size() + p->pad;
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            p->pos = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            auto *out = static_cast<char *>(data);
            zip_uint64_t n = 0;
            for (; n < len && p->pos < total; ++n, ++p->pos) {
                const uint64_t i = p->pos;
                out[n] = i < p->padAfter            ? (*p->text)[i]
                         : i < p->padAfter + p->pad ? ' '
                                                    : (*p->text)[i - p->pad];
            }
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = total;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return 0;
    }
}

}  // namespace

std::vector<uint8_t> makeZip(const std::vector<std::pair<std::string, std::string>> &parts,
                             uint64_t padBytes, size_t padAfter) {
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t *z = zip_open_from_source(src, ZIP_TRUNCATE, &err);
    if (!z) throw std::runtime_error("zip_open_from_source failed");
    zip_source_keep(src);
    Padded padded{&parts.at(0).second, padBytes, padAfter};
    for (const auto &[name, text] : parts) {
        zip_source_t *data = (&text == padded.text && padBytes > 0)
                                 ? zip_source_function(z, padSource, &padded)
                                 : zip_source_buffer(z, text.data(), text.size(), 0);
        const zip_int64_t i = zip_file_add(z, name.c_str(), data, ZIP_FL_ENC_UTF_8);
        if (i < 0) throw std::runtime_error("zip_file_add failed");
        zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_DEFLATE, 1);
    }
    if (zip_close(z) != 0) throw std::runtime_error("zip_close failed");
    zip_stat_t st;
    zip_source_stat(src, &st);
    std::vector<uint8_t> out(st.size);
    zip_source_open(src);
    zip_source_read(src, out.data(), out.size());
    zip_source_close(src);
    zip_source_free(src);
    zip_error_fini(&err);
    return out;
}

std::string runUnprivileged(const std::function<std::string()> &body,
                            const std::vector<std::filesystem::path> &owned) {
    constexpr uid_t kNobody = 65534;
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        ::close(fds[0]);
        std::string problem;
        if (::geteuid() == 0) {
            for (const auto &top : owned) {
                std::error_code ec;
                if (::lchown(top.c_str(), kNobody, kNobody) != 0) problem = "chown failed";
                if (std::filesystem::is_directory(top, ec))
                    for (const auto &e : std::filesystem::recursive_directory_iterator(top, ec))
                        if (::lchown(e.path().c_str(), kNobody, kNobody) != 0)
                            problem = "chown failed";
            }
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                problem = "cannot become nobody";
        }
        if (problem.empty()) {
            try {
                problem = body();
            } catch (const std::exception &e) {
                problem = std::string("exception: ") + e.what();
            }
        }
        const ssize_t n = ::write(fds[1], problem.data(), problem.size());
        ::_exit(n == static_cast<ssize_t>(problem.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string out;
    char buf[1024];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return out + " (the unprivileged child did not finish)";
    return out;
}

std::string shellQuote(const std::string &s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

RunResult runCommand(const std::string &command) {
    TempDir dir;
    const std::string line =
        command + " >" + shellQuote(dir / "out") + " 2>" + shellQuote(dir / "err");
    const int raw = std::system(line.c_str());
    RunResult r;
    r.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.out = readText(dir / "out");
    r.err = readText(dir / "err");
    return r;
}

}  // namespace pondera::testing
