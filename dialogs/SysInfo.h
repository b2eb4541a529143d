#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace pondera {

// Where the About window finds and starts a system information tool: the system registry, the
// file system and the process launcher, each behind an interface so the window can run against
// stand-ins.

inline constexpr uint32_t kHKeyLocalMachine = 0x80000002;
// READ_CONTROL with every key-specific right (query, set, create sub-key, enumerate, notify,
// create link): the tool lookup asks for this much.
inline constexpr uint32_t kKeyAllAccess = 0x2003F;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegDword = 4;

// The three registry calls, with their results as the system gives them (0 = success).
class RegistryReader {
  public:
    using Handle = std::uintptr_t;
    virtual ~RegistryReader() = default;
    virtual long OpenKey(uint32_t root, const std::string &keyName, uint32_t options,
                         uint32_t access, Handle &key) = 0;
    // Reads the value's type and data into data[0..size); size comes back as the bytes written.
    // A value longer than size fails.
    virtual long QueryValue(Handle key, const std::string &valueName, uint32_t &type,
                            unsigned char *data, uint32_t &size) = 0;
    virtual void CloseKey(Handle key) = 0;
};

// Files and programs.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;
    // An ordinary file: not a folder, not hidden, not a system file.
    virtual bool FileExists(const QString &path) = 0;
    // Starts the program at path without waiting for it; false when it could not be started.
    virtual bool Start(const QString &path) = 0;
    // Where the registry names no tool: the full path of the first tool of this platform's own
    // choice that is installed, or empty.
    virtual QString FindFallbackTool() = 0;
};

// A registry with no keys at all (platforms without a system registry).
class EmptyRegistry final : public RegistryReader {
  public:
    long OpenKey(uint32_t, const std::string &, uint32_t, uint32_t, Handle &) override;
    long QueryValue(Handle, const std::string &, uint32_t &, unsigned char *, uint32_t &) override;
    void CloseKey(Handle) override {}
};

// The process launcher of this machine; on platforms without the registry's tool it falls back
// to the first of a few system information programs found on PATH.
class SystemLauncher final : public ProgramLauncher {
  public:
    bool FileExists(const QString &path) override;
    bool Start(const QString &path) override;
    QString FindFallbackTool() override;
    // The programs tried, in order, by FindFallbackTool.
    static QStringList FallbackToolNames();
};

struct SysInfoServices {
    std::shared_ptr<RegistryReader> registry;
    std::shared_ptr<ProgramLauncher> launcher;
    // Shows the one failure message (text; the caption is the application's title).
    std::function<void(QWidget *parent, const QString &text)> showMessage;

    // The real registry (where there is one), the system launcher and a message box.
    static SysInfoServices Platform();
};

// The real system registry where the program is built for a system that has one, otherwise an
// EmptyRegistry.
std::shared_ptr<RegistryReader> PlatformRegistry();

}  // namespace pondera
