#include "store/platform/file_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "model/error.h"

namespace pondera::store {

namespace {

[[noreturn]] void throwErrno(const std::string &what, const std::string &path) {
    const int e = errno;
    const int number = (e == ENOENT || e == ENOTDIR) ? kErrPathNotFound : kErrFileAccess;
    throw Error(number, what + " \"" + path + "\": " + std::strerror(e));
}

void syncDirectoryOf(const std::string &path) {
    const size_t slash = path.find_last_of(kDirSeparator);
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

FileIdentity fileIdentity(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    FileIdentity id;
    id.exists = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

LockedFile::~LockedFile() {
    close();
}

bool LockedFile::open(const std::string &path) {
    close();
    // Another process may remove the file between our open and our lock (it does so when it
    // closes the store); a lock on a removed file guards nothing, so check and try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throwErrno("Cannot open", path);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno;
            ::close(fd);
            if (e == EWOULDBLOCK) return false;
            errno = e;
            throwErrno("Cannot lock", path);
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            path_ = path;
            // A new file's name must reach the disk too, or a power cut loses the whole file
            // with everything later flushed into it.
            if (held.st_size == 0) syncDirectoryOf(path);
            return true;
        }
        ::close(fd);
    }
    throw Error(kErrFileAccess, "Cannot lock \"" + path + "\": it keeps being replaced");
}

std::string LockedFile::readAll() const {
    std::string out;
    char buf[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd_, buf, sizeof buf, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            throwErrno("Cannot read", path_);
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
        offset += n;
    }
    return out;
}

void LockedFile::writeDurable(uint64_t offset, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            (void)::ftruncate(fd_, static_cast<off_t>(offset));
            errno = e;
            throwErrno("Cannot write", path_);
        }
        done += static_cast<size_t>(n);
    }
    if (::fdatasync(fd_) != 0) {
        const int e = errno;
        (void)::ftruncate(fd_, static_cast<off_t>(offset));
        errno = e;
        throwErrno("Cannot flush", path_);
    }
}

void LockedFile::reset(const std::string &bytes) {
    // Rewriting the start in place before cutting the rest keeps a crash in between harmless:
    // the file then still holds whole, valid entries.
    if (::pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()) ||
        ::ftruncate(fd_, static_cast<off_t>(bytes.size())) != 0 || ::fdatasync(fd_) != 0)
        throwErrno("Cannot reset", path_);
}

void LockedFile::removeAndClose() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    close();
}

void LockedFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string currentDirectory() {
    std::string buf(4096, '\0');
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) throwErrno("Cannot read the current directory", ".");
        buf.resize(buf.size() * 2);
    }
    buf.resize(std::strlen(buf.c_str()));
    return buf;
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

void writeSmallFile(const std::string &path, const std::string &bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throwErrno("Cannot create", path);
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    const int e = errno;
    ::close(fd);
    errno = e;
    if (n != static_cast<ssize_t>(bytes.size())) throwErrno("Cannot write", path);
}

std::string readSmallFile(const std::string &path) {
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return out;
}

bool removeFile(const std::string &path) {
    return ::unlink(path.c_str()) == 0;
}

bool renameNoReplace(const std::string &from, const std::string &to) {
    // A hard link fails when the target exists, which makes the move safe against a file that
    // appeared meanwhile; file systems without links fall back to a checked rename.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    struct stat st {};
    if (::stat(to.c_str(), &st) == 0) return false;
    if (::rename(from.c_str(), to.c_str()) != 0) throwErrno("Cannot move", from);
    return true;
}

bool copyNoReplace(const std::string &from, const std::string &to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throwErrno("Cannot read", from);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        if (e == EEXIST) return false;
        errno = e;
        throwErrno("Cannot create", to);
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    if (ok && ::fsync(out) != 0) ok = false;
    const int e = errno;
    ::close(in);
    ::close(out);
    if (!ok) {
        ::unlink(to.c_str());
        errno = e;
        throwErrno("Cannot copy to", to);
    }
    return true;
}

}  // namespace pondera::store
