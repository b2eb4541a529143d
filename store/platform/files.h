#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// The operating-system calls of the store: an exclusive lock that dies with the process,
// appending with a flush to the disk, a file's identity, atomic replacement with the file and
// its folder flushed, keeping a file beside itself, no-replace copy and rename. Everything
// POSIX lives in this folder so that another platform replaces these files only.
namespace pondera::store {

// The directory separator of this platform, used by the workbook path rule and the
// demonstration picture names.
inline constexpr char kDirSeparator = '/';

// Identity of a file as it is on disk, to notice that someone else rewrote it.
struct FileIdentity {
    bool exists = false;
    uint64_t device = 0, inode = 0, size = 0;
    int64_t mtimeNs = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};
// The file path names (following symbolic links); exists is false when there is none.
FileIdentity fileIdentity(const std::string &path);

// What is at path, without following a final symbolic link.
enum class FileKind { Missing, Regular, Directory, Symlink, Other };
FileKind fileKind(const std::string &path);
// The kind of what path names after following symbolic links (Missing for a dangling link).
FileKind targetKind(const std::string &path);
// What the symbolic link at path holds, as written in it; empty when path is no link.
std::string linkTarget(const std::string &path);

// The error number for a failed system call: path not found for a missing file or folder,
// a file access error for everything else; and the system's sentence for it.
int errorNumberForErrno(int err);
std::string errnoText(int err);

// A file opened for reading and writing, held under an exclusive advisory lock that the
// operating system releases when the process ends in any way.
class LockedFile {
  public:
    LockedFile() = default;
    ~LockedFile();
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    // Opens (creating if needed) and locks path without waiting. Returns false when another
    // process holds the lock; throws Error(kErrFileAccess / kErrPathNotFound) on other failures.
    bool open(const std::string &path);
    bool isOpen() const { return fd_ >= 0; }
    // Whether path still names the file this object holds (nobody removed or replaced it).
    bool stillNamed() const;
    // Whether open() created the file (it did not exist before).
    bool created() const { return created_; }

    std::string readAll() const;
    // Writes bytes at offset and flushes the data to the disk (fdatasync). On failure the file
    // is cut back to offset and Error(kErrFileAccess) is thrown.
    void writeDurable(uint64_t offset, const std::string &bytes);
    // Makes the file hold exactly bytes, flushed with one fdatasync.
    void reset(const std::string &bytes);
    // Removes the file from its folder while still holding the lock, then closes it.
    void removeAndClose();
    void close();

  private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
};

// An exclusive lock on a folder, released when the process ends in any way. It holds while the
// files in the folder are removed or replaced.
class FolderLock {
  public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    // False when another process holds it; throws Error on other failures.
    bool lock(const std::string &folder);
    void unlock();

  private:
    int fd_ = -1;
};

// Whether this process may create files in folder / write the existing file at path.
bool canWriteIn(const std::string &folder);
bool canWrite(const std::string &path);

// A file opened for reading only. Opening never waits (a FIFO in the file's place does not
// block), and what is not a regular file is reported as such rather than read.
class InputFile {
  public:
    explicit InputFile(const std::string &path);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    int error() const { return error_; }  // errno of a failed open, else 0
    bool isRegular() const { return regular_; }
    uint64_t size() const { return size_; }
    FileIdentity identity() const { return identity_; }
    // Reads up to n bytes; returns how many (fewer at the end of the file). Throws nothing:
    // a failed read returns what was read so far and sets error().
    size_t read(uint8_t *dst, size_t n);

  private:
    int fd_ = -1;
    int error_ = 0;
    bool regular_ = false;
    uint64_t size_ = 0;
    FileIdentity identity_;
};

// Writes a small file in one go (no lock) and flushes it; used for the spreadsheet's lock file.
void writeSmallFile(const std::string &path, const std::string &bytes);
// Reads a whole file; empty when it cannot be read.
std::string readSmallFile(const std::string &path);
bool removeFile(const std::string &path);
// Renames without replacing an existing target; false when target exists.
bool renameNoReplace(const std::string &from, const std::string &to);
// Copies a file under a new name that must not exist yet, flushed to the disk.
bool copyNoReplace(const std::string &from, const std::string &to);

// ---- atomic saves ----

// The file a save to path writes: a symbolic link's target (saving through a link replaces the
// file it points to, not the link), else path itself.
std::string saveTarget(const std::string &path);

// Replaces the file at target with bytes atomically: a new temporary file in the same folder,
// flushed, renamed over target, the folder flushed. A new file gets the permissions the process
// gives new files; a replaced one keeps its own. beforeReplace runs once the new file is durable
// and before the rename (throwing from it abandons the save). On failure the previous file is
// untouched, the temporary file is gone, and Error(kErrFileAccess or kErrPathNotFound) names
// shownPath. A file marked read-only is not replaced, though its folder would allow it.
void replaceAtomically(const std::string &target, const std::string &shownPath,
                       std::span<const uint8_t> bytes, const std::function<void()> &beforeReplace);

// The steps of an atomic save, for tests that act at a precise point of one (a kill): before
// anything is written, once the new file is durable under its temporary name, and once it has
// replaced the target. The observer runs on the saving thread; null (the default) for none.
enum class SaveStep { Begin, Written, Replaced };
using SaveObserver = void (*)(SaveStep);
void setSaveObserver(SaveObserver observer);

// Removes what replaceAtomically leaves behind for target when the process is killed during a
// save. Call it only while no save to target can be running.
void removeInterruptedSaves(const std::string &target);

// Keeps the file at path beside it under the first free name stem.orig.ext, stem.orig-2.ext, ...
// (a hard link where the file system allows it, a flushed copy otherwise); returns that name.
std::string keepBeside(const std::string &path);

}  // namespace pondera::store
