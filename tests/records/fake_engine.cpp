#include "tests/records/fake_engine.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include "base/error.h"

namespace pondera::testing {

using store::CellValue;

namespace {

constexpr const char *kMagic = "FAKEWB1";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

void checkGrid(int32_t row, int32_t col) {
    if (row < 1 || row > 65536 || col < 1 || col > 256)
        throw Error(kErrWorkbookOpen, "cell outside the grid");
}

std::string escape(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out.push_back(c);
    }
    return out;
}

std::string unescape(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            out.push_back(s[i] == 'n' ? '\n' : s[i] == 't' ? '\t' : s[i]);
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

}  // namespace

CellValue FakeWorksheet::cell(int32_t row, int32_t col) const {
    checkGrid(row, col);
    const auto it = cells.find({row, col});
    return it == cells.end() ? CellValue{} : it->second;
}

void FakeWorksheet::setCell(int32_t row, int32_t col, const CellValue &value) {
    checkGrid(row, col);
    if (value.isEmpty())
        cells.erase({row, col});
    else
        cells[{row, col}] = value;
}

store::Worksheet &FakeWorkbook::sheet(const std::string &name) {
    for (auto &s : sheets)
        if (lower(s->name()) == lower(name)) return *s;
    throw Error(kErrSubscript, "no sheet " + name);
}

store::Worksheet &FakeWorkbook::addSheet() {
    for (int n = 1;; ++n) {
        const std::string name = "Sheet" + std::to_string(n);
        const bool used = std::any_of(sheets.begin(), sheets.end(), [&](const auto &s) {
            return lower(s->name()) == lower(name);
        });
        if (!used) {
            sheets.push_back(std::make_unique<FakeWorksheet>(name));
            return *sheets.back();
        }
    }
}

std::string FakeWorkbook::serialize() const {
    std::ostringstream out;
    out << kMagic << '\n';
    for (const auto &s : sheets) {
        out << "S\t" << escape(s->name()) << '\n';
        for (const auto &[key, v] : s->cells) {
            char num[64];
            const auto res = std::to_chars(num, num + sizeof num, v.number, std::chars_format::hex);
            out << "C\t" << key.first << '\t' << key.second << '\t' << static_cast<int>(v.kind)
                << '\t' << std::string(num, res.ptr) << '\t' << escape(v.text) << '\n';
        }
    }
    return out.str();
}

namespace {

store::SaveReport writeAtomically(const std::string &path, const std::string &bytes,
                                  const FakeSwitches &switches) {
    if (switches.beforeWrite) switches.beforeWrite();
    if (switches.saveError) throw Error(switches.saveError, "save refused by the test");
    const std::string tmp = path + ".fake-tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw Error(kErrFileAccess, "cannot write " + tmp);
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                    ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        throw Error(kErrFileAccess, "cannot save " + path);
    }
    return {switches.keptOriginal};
}

class FakeSaveJob : public store::SaveJob {
  public:
    FakeSaveJob(std::string path, std::string bytes, std::shared_ptr<FakeSwitches> switches)
        : path_(std::move(path)), bytes_(std::move(bytes)), switches_(std::move(switches)) {}
    store::SaveReport write() override { return writeAtomically(path_, bytes_, *switches_); }

  private:
    std::string path_, bytes_;
    std::shared_ptr<FakeSwitches> switches_;
};

}  // namespace

store::SaveReport FakeWorkbook::saveAs(const std::string &path) {
    return writeAtomically(path, serialize(), *switches_);
}

std::unique_ptr<store::SaveJob> FakeWorkbook::snapshotSave(const std::string &path) {
    return std::make_unique<FakeSaveJob>(path, serialize(), switches_);
}

std::unique_ptr<store::Workbook> FakeEngine::open(const std::string &path) {
    if (switches->openError) throw Error(switches->openError, "open refused by the test");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(kErrWorkbookOpen, "cannot open " + path);
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        throw Error(kErrWorkbookOpen, "not a workbook: " + path);
    auto book = std::make_unique<FakeWorkbook>(switches);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            f.push_back(line.substr(start, tab - start));
        f.push_back(line.substr(start));
        if (f[0] == "S" && f.size() == 2) {
            book->sheets.push_back(std::make_unique<FakeWorksheet>(unescape(f[1])));
        } else if (f[0] == "C" && f.size() == 6 && !book->sheets.empty()) {
            CellValue v;
            v.kind = static_cast<CellValue::Kind>(std::stoi(f[3]));
            std::from_chars(f[4].data(), f[4].data() + f[4].size(), v.number,
                            std::chars_format::hex);
            v.text = unescape(f[5]);
            book->sheets.back()->cells[{std::stoi(f[1]), std::stoi(f[2])}] = v;
        } else {
            throw Error(kErrWorkbookOpen, "damaged workbook: " + path);
        }
    }
    return book;
}

std::unique_ptr<store::Workbook> FakeEngine::create() {
    return std::make_unique<FakeWorkbook>(switches);
}

}  // namespace pondera::testing
