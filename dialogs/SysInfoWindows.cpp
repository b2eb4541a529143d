// The system registry through its ANSI calls. Built only for Windows.
#ifdef _WIN32

#include <windows.h>

#include "dialogs/SysInfo.h"

namespace pondera {

namespace {

class WindowsRegistry final : public RegistryReader {
  public:
    long OpenKey(uint32_t root, const std::string &keyName, uint32_t options, uint32_t access,
                 Handle &key) override {
        // Predefined root handles are 32-bit values that the system sign-extends.
        const HKEY rootKey =
            reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
        HKEY opened = nullptr;
        const LONG result =
            RegOpenKeyExA(rootKey, keyName.c_str(), options, static_cast<REGSAM>(access), &opened);
        key = reinterpret_cast<Handle>(opened);
        return result;
    }
    long QueryValue(Handle key, const std::string &valueName, uint32_t &type, unsigned char *data,
                    uint32_t &size) override {
        DWORD valueType = 0;
        DWORD dataSize = size;
        const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.c_str(),
                                             nullptr, &valueType, data, &dataSize);
        type = valueType;
        size = dataSize;
        return result;
    }
    void CloseKey(Handle key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

}  // namespace

std::shared_ptr<RegistryReader> PlatformRegistry() {
    return std::make_shared<WindowsRegistry>();
}

}  // namespace pondera

#endif  // _WIN32
