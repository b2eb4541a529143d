// The embedded engine: reads a file, tells a compound file from an OOXML package by its first
// bytes, and hands out workbooks.
#include <cstring>
#include <functional>

#include "base/error.h"
#include "store/platform/files.h"
#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/xls_workbook.h"

namespace pondera::store {

namespace {

// The whole file, refusing what is not a regular file before reading a byte of it.
Buffer readWorkbookFile(const std::string &path, FileIdentity &identity) {
    InputFile in(path);
    if (in.error() != 0)
        throw Error(kErrWorkbookOpen,
                    "The workbook cannot be opened: " + path + ": " + errnoText(in.error()) + ".");
    if (!in.isRegular()) malformed(path + " is not a regular file");
    identity = in.identity();
    Buffer bytes(static_cast<size_t>(in.size()));
    bytes.resize(in.read(bytes.data(), bytes.size()));
    if (in.error() != 0) malformed(path + ": " + errnoText(in.error()));
    return bytes;
}

bool isOoxmlPackage(const Buffer &bytes) {
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 &&
           bytes[3] == 4;
}

// A compound file or an OOXML package, told apart by the first bytes.
std::unique_ptr<XlsWorkbook> loadWorkbook(Buffer bytes, const std::string &name,
                                          const std::function<void()> &converting = {}) {
    auto book = std::make_unique<XlsWorkbook>();
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), kCfbSignature, 8) == 0) {
        book->loadCompoundFile(std::move(bytes));
    } else if (isOoxmlPackage(bytes)) {
        if (converting) converting();
        book->loadOoxml(bytes);
    } else if (bytes.empty()) {
        malformed(name + " is empty");
    } else {
        malformed(name + " is not an Excel workbook");
    }
    return book;
}

class XlsEngine final : public WorkbookEngine {
  public:
    std::unique_ptr<Workbook> open(const std::string &path) override {
        return openTelling(path, {});
    }

    std::unique_ptr<Workbook> openTelling(const std::string &path,
                                          const std::function<void()> &converting) override {
        FileIdentity identity;
        auto book = loadWorkbook(readWorkbookFile(path, identity), path, converting);
        book->setSource(path, identity);
        return book;
    }

    std::unique_ptr<Workbook> openBytes(std::span<const uint8_t> bytes,
                                        const std::string &shownName) override {
        return loadWorkbook(Buffer(bytes.begin(), bytes.end()), shownName);
    }

    std::unique_ptr<Workbook> create() override { return std::make_unique<XlsWorkbook>(); }

    void removeInterruptedSaves(const std::string &path) override {
        store::removeInterruptedSaves(path);
    }
};

}  // namespace

std::unique_ptr<WorkbookEngine> makeWorkbookEngine() {
    return std::make_unique<XlsEngine>();
}

}  // namespace pondera::store
