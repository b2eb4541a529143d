#include "store/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/error.h"

namespace pondera::store {

namespace {

[[noreturn]] void throwErrno(const std::string &what, const std::string &path) {
    const int e = errno;
    throw Error(errorNumberForErrno(e), what + " \"" + path + "\": " + std::strerror(e));
}

// The message of a failed save step: "Path/File access error: cannot write PATH: reason."
[[noreturn]] void saveFailed(const std::string &path, const std::string &step, int err) {
    const int number = errorNumberForErrno(err);
    const std::string what =
        number == kErrPathNotFound ? "Path not found" : "Path/File access error";
    throw Error(number, what + ": cannot " + step + " " + path + ": " + errnoText(err) + ".");
}

std::string folderOf(const std::string &path) {
    const size_t slash = path.rfind(kDirSeparator);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return std::string(1, kDirSeparator);
    return path.substr(0, slash);
}

std::string fileOf(const std::string &path) {
    const size_t slash = path.rfind(kDirSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void syncFolder(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

void syncFolderOf(const std::string &path) {
    syncFolder(folderOf(path));
}

// Writes all n bytes, retrying short writes and interruptions; false with errno set on failure.
bool writeAll(int fd, const uint8_t *p, size_t n) {
    while (n > 0) {
        const ssize_t k = ::write(fd, p, std::min<size_t>(n, size_t{1} << 30));
        if (k < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

// Copies from to a new file to (which must not exist), flushed to the disk. Returns 0, or the
// errno of the failure with *failedStep naming it ("read" the source, "create" or "write" the
// copy); a copy that failed half-way is removed.
int copyExclusive(const std::string &from, const std::string &to, mode_t mode,
                  const char **failedStep) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return *failedStep = "read", errno;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return *failedStep = "create", e;
    }
    std::vector<uint8_t> buf(1 << 16);
    int err = 0;
    for (;;) {
        const ssize_t k = ::read(in, buf.data(), buf.size());
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) {
            if (k < 0) err = errno;
            break;
        }
        if (!writeAll(out, buf.data(), static_cast<size_t>(k))) {
            err = errno;
            break;
        }
    }
    if (err == 0 && ::fsync(out) != 0) err = errno;
    ::close(in);
    if (::close(out) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(to.c_str());
        *failedStep = "write";
    }
    return err;
}

// Opens path and takes its exclusive lock without waiting: the descriptor, or -1 when another
// process holds the lock; other failures throw.
int openLocked(const std::string &path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) throwErrno("Cannot open", path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return -1;
        errno = e;
        throwErrno("Cannot lock", path);
    }
    return fd;
}

FileKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Directory;
    if (S_ISLNK(mode)) return FileKind::Symlink;
    return FileKind::Other;
}

FileIdentity identityOf(const struct stat &st) {
    FileIdentity id;
    id.exists = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

std::atomic<SaveObserver> saveObserver{nullptr};

void observe(SaveStep step) {
    if (SaveObserver f = saveObserver.load()) f(step);
}

// The temporary files of saves to target: "." + its name + ".tmp-" + six characters.
std::string temporaryPrefix(const std::string &target) {
    return "." + fileOf(target) + ".tmp-";
}

}  // namespace

int errorNumberForErrno(int err) {
    return (err == ENOENT || err == ENOTDIR) ? kErrPathNotFound : kErrFileAccess;
}

std::string errnoText(int err) {
    return std::strerror(err);
}

FileIdentity fileIdentity(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return identityOf(st);
}

FileKind fileKind(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return FileKind::Missing;
    return kindOfMode(st.st_mode);
}

std::string linkTarget(const std::string &path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < target.size()) {
            target.resize(static_cast<size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

FileKind targetKind(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return FileKind::Missing;
    return kindOfMode(st.st_mode);
}

// ---- the locked journal ----

LockedFile::~LockedFile() {
    close();
}

bool LockedFile::open(const std::string &path) {
    close();
    // Another process may remove the file between our open and our lock (it does so when it
    // closes the store); a lock on a removed file guards nothing, so check and try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const bool existed = ::access(path.c_str(), F_OK) == 0;
        const int fd = openLocked(path, O_RDWR | O_CREAT);
        if (fd < 0) return false;
        fd_ = fd;
        path_ = path;
        if (stillNamed()) {
            created_ = !existed;
            // A new file's name must reach the disk too, or a power cut loses the whole file
            // with everything later flushed into it.
            struct stat held {};
            if (::fstat(fd, &held) == 0 && held.st_size == 0) syncFolderOf(path);
            return true;
        }
        close();
    }
    throw Error(kErrFileAccess, "Cannot lock \"" + path + "\": it keeps being replaced");
}

bool LockedFile::stillNamed() const {
    struct stat held {
    }, named{};
    return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
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
    created_ = false;
}

// ---- the folder lock ----

FolderLock::~FolderLock() {
    unlock();
}

bool FolderLock::lock(const std::string &folder) {
    unlock();
    fd_ = openLocked(folder, O_RDONLY | O_DIRECTORY);
    return fd_ >= 0;
}

void FolderLock::unlock() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool canWriteIn(const std::string &folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool canWrite(const std::string &path) {
    return ::access(path.c_str(), W_OK) == 0;
}

// ---- reading ----

InputFile::InputFile(const std::string &path) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        return;
    }
    regular_ = S_ISREG(st.st_mode);
    size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
    identity_ = identityOf(st);
    if (regular_) (void)::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

size_t InputFile::read(uint8_t *dst, size_t n) {
    size_t got = 0;
    while (fd_ >= 0 && error_ == 0 && got < n) {
        const ssize_t k = ::read(fd_, dst + got, n - got);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) error_ = errno;
        if (k <= 0) break;
        got += static_cast<size_t>(k);
    }
    return got;
}

// ---- small files ----

void writeSmallFile(const std::string &path, const std::string &bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throwErrno("Cannot create", path);
    const bool ok = writeAll(fd, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()) &&
                    ::fsync(fd) == 0;
    const int e = errno;
    ::close(fd);
    errno = e;
    if (!ok) throwErrno("Cannot write", path);
}

std::string readSmallFile(const std::string &path) {
    std::string out;
    InputFile in(path);
    if (in.error() != 0 || !in.isRegular()) return out;
    uint8_t buf[4096];
    while (size_t n = in.read(buf, sizeof buf))
        out.append(reinterpret_cast<const char *>(buf), n);
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
    const char *step = "";
    const int err = copyExclusive(from, to, 0644, &step);
    if (err == 0) return true;
    if (err == EEXIST && std::strcmp(step, "create") == 0) return false;
    errno = err;
    if (std::strcmp(step, "read") == 0) throwErrno("Cannot read", from);
    if (std::strcmp(step, "create") == 0) throwErrno("Cannot create", to);
    throwErrno("Cannot copy to", to);
}

// ---- atomic saves ----

std::string saveTarget(const std::string &path) {
    if (fileKind(path) != FileKind::Symlink) return path;
    std::string target = path;
    if (char *real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    return target;
}

void setSaveObserver(SaveObserver observer) {
    saveObserver = observer;
}

void replaceAtomically(const std::string &target, const std::string &shownPath,
                       std::span<const uint8_t> bytes, const std::function<void()> &beforeReplace) {
    observe(SaveStep::Begin);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && ::access(target.c_str(), W_OK) != 0)
        saveFailed(shownPath, "write", errno);

    const std::string folder = folderOf(target);
    const bool bare = target.find(kDirSeparator) == std::string::npos;
    std::string name = (bare ? "" : folder + kDirSeparator) + temporaryPrefix(target) + "XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) saveFailed(target, "write", errno);
    auto fail = [&](const char *step, int err) {
        ::unlink(name.c_str());
        saveFailed(target, step, err);
    };
    mode_t mode = 0666;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    if (!writeAll(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        fail("write", err);
    }
    if (::close(fd) != 0) fail("write", errno);
    observe(SaveStep::Written);
    if (beforeReplace) {
        try {
            beforeReplace();
        } catch (...) {
            ::unlink(name.c_str());
            throw;
        }
    }
    if (::rename(name.c_str(), target.c_str()) != 0) fail("replace", errno);
    observe(SaveStep::Replaced);
    syncFolder(folder);
}

void removeInterruptedSaves(const std::string &target) {
    const std::string real = saveTarget(target);
    const std::string prefix = temporaryPrefix(real);
    const std::string folder = folderOf(real);
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            ::unlink((folder + kDirSeparator + name).c_str());
    }
    ::closedir(dir);
}

std::string keepBeside(const std::string &path) {
    const std::string folder = folderOf(path), file = fileOf(path);
    const size_t dot = file.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? "" : file.substr(dot);
    const std::string prefix = path.substr(0, path.size() - file.size());
    for (int n = 1; n < 10000; ++n) {
        const std::string name =
            prefix + stem + ".orig" + (n == 1 ? "" : "-" + std::to_string(n)) + ext;
        if (::link(path.c_str(), name.c_str()) == 0) {
            syncFolder(folder);
            return name;
        }
        if (errno == EEXIST) continue;
        // No hard links here: copy.
        const char *step = "";
        const int err = copyExclusive(path, name, 0666, &step);
        if (err == EEXIST && std::strcmp(step, "create") == 0) continue;
        if (err != 0)
            saveFailed(std::strcmp(step, "read") == 0 ? path : name,
                       std::strcmp(step, "read") == 0 ? "keep the original of" : step, err);
        syncFolder(folder);
        return name;
    }
    throw Error(kErrFileAccess, "Path/File access error: no free name to keep " + path + ".");
}

}  // namespace pondera::store
