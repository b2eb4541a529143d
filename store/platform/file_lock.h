#pragma once

#include <cstdint>
#include <string>

// The few operating-system calls the record store needs beyond standard C++: an exclusive lock
// that dies with the process, appending with a flush to the disk, a file's identity, and who and
// where we are. Everything POSIX lives in file_lock.cpp so that another platform replaces one file.
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
FileIdentity fileIdentity(const std::string &path);

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
};

std::string currentDirectory();
std::string userName();
std::string hostName();
std::string homeDirectory();

// Writes a small file in one go (no lock, flushed); used for the spreadsheet's lock file.
void writeSmallFile(const std::string &path, const std::string &bytes);
// Reads a whole file; empty when it cannot be read.
std::string readSmallFile(const std::string &path);
bool removeFile(const std::string &path);
// Renames without replacing an existing target; false when target exists.
bool renameNoReplace(const std::string &from, const std::string &to);
// Copies a file under a new name that must not exist yet, flushed to the disk.
bool copyNoReplace(const std::string &from, const std::string &to);

}  // namespace pondera::store
