// Every file of the fuzzing corpus, run through the same entry as the fuzzer, in every build:
// the files that once found faults stay fixed, and the sanitizer pass checks them too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/fuzz_entry.h"

namespace {

std::vector<std::filesystem::path> corpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(PONDERA_CORPUS)) {
        if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class Corpus : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(Corpus, RunsWithoutFault) {
    std::ifstream in(GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    pondera::fuzz::runWorkbookInput(bytes.data(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Files, Corpus, ::testing::ValuesIn(corpusFiles()), [](const auto &info) {
    std::string name = info.param.filename().string();
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
});

}  // namespace
