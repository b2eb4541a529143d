// pondera2d-workbook: the record workbook from the command line.
//   dump FILE                  every sheet's cells as tab-separated UTF-8 text
//   copy IN OUT                load and save again (what the program does at every start)
//   generate OUT --records N   a workbook in the program's layout with N records
//   detect PHOTO... [--at X,Y] [--into WORKBOOK --sex 0|1]
//                              landmarks found by the pose network, as CSV; optionally appended
//                              as records; --at: the person under that picture pixel
//   export-csv WORKBOOK OUT    every record as CSV with its centres of gravity computed anew
//   track VIDEO [--from T] [--to T] [--every N] --into WORKBOOK --sex 0|1
//                              landmarks through the video's frames (T in seconds), each frame's
//                              picture beside the video and one record per frame; the sequence
//                              as CSV
// Exit status 0 on success; 1 with one line "pondera2d-workbook: error N: reason" on stderr
// otherwise (N is the program's error number), 2 for a wrong command line.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/version.h"
#include "model/BodyFacts.h"
#include "report/CsvText.h"
#include "store/platform/files.h"
#include "store/records/record_export.h"
#include "store/xls/workbook_engine.h"
#include "tools/workbook/detect_module.h"
#include "tools/workbook/generate.h"
#include "tools/workbook/workbook_dump.h"

namespace {

constexpr const char *kUsage =
    "usage: pondera2d-workbook dump FILE | copy IN OUT | generate OUT --records N\n"
    "                          | detect PHOTO... [--at X,Y] [--into WORKBOOK --sex 0|1]\n"
    "                          | export-csv WORKBOOK OUT.csv\n"
    "                          | track VIDEO [--from T] [--to T] [--every N] --into WORKBOOK "
    "--sex 0|1";

constexpr const char *kHelp =
    "  dump FILE                  every sheet's cells as tab-separated UTF-8 text\n"
    "  copy IN OUT                load IN and save it as OUT, as the program does at start\n"
    "  generate OUT --records N   a workbook in the program's layout with N records (4 to 32765)\n"
    "  detect PHOTO... [--at X,Y] [--into WORKBOOK --sex 0|1]\n"
    "                             landmarks found by the pose network as CSV, or appended as "
    "records;\n"
    "                             --at X,Y: the person under that picture pixel (x right, y down)\n"
    "  export-csv WORKBOOK OUT    every record as CSV (UTF-8 with BOM), centres computed anew\n"
    "  track VIDEO [--from T] [--to T] [--every N] --into WORKBOOK --sex 0|1\n"
    "                             landmarks through the video from T to T seconds, every Nth "
    "frame:\n"
    "                             each frame's picture beside the video, one record per frame, "
    "the\n"
    "                             sequence (time, frame, COG, velocity, checks) as CSV\n"
    "  --help, --version          this text, the version\n"
    "\n"
    "Exit status: 0 success, 1 failure (\"pondera2d-workbook: error N: reason\"), 2 wrong usage.\n";

int usage(const std::string &why) {
    std::cerr << "pondera2d-workbook: " << why << "\n" << kUsage << "\n";
    return 2;
}

int run(const std::vector<std::string> &args) {
    using namespace pondera;
    auto engine = store::makeWorkbookEngine();
    const std::string &command = args[0];
    if (command == "dump" && args.size() == 2) {
        auto book = engine->open(args[1]);
        tool::dumpWorkbook(*book, std::cout);
        std::cout.flush();
        if (!std::cout) throw Error(kErrFileAccess, "writing the dump failed");
        return 0;
    }
    if (command == "copy" && args.size() == 3) {
        auto book = engine->open(args[1]);
        store::SaveReport report = book->saveAs(args[2]);
        if (!report.keptOriginal.empty())
            std::cout << "kept the file as it was before as " << report.keptOriginal << "\n";
        return 0;
    }
    if (command == "generate" && args.size() == 4 && args[2] == "--records") {
        int32_t records = 0;
        const std::string &n = args[3];
        auto [p, ec] = std::from_chars(n.data(), n.data() + n.size(), records);
        if (ec != std::errc() || p != n.data() + n.size())
            return usage("--records needs a whole number, not \"" + n + "\"");
        auto book = engine->create();
        tool::generateWorkbook(*book, records, std::filesystem::current_path().string());
        book->saveAs(args[1]);
        return 0;
    }
    if (command == "detect") {
        tool::DetectOptions options;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--at") {
                if (i + 1 == args.size()) return usage("--at needs X,Y");
                const std::string &value = args[++i];
                const size_t comma = value.find(',');
                float x = 0, y = 0;
                const char *end = value.data() + value.size();
                auto [px, ex] =
                    std::from_chars(value.data(), value.data() + std::min(comma, value.size()), x);
                const bool okX =
                    comma != std::string::npos && ex == std::errc() && px == value.data() + comma;
                auto [py, ey] = okX ? std::from_chars(value.data() + comma + 1, end, y)
                                    : std::from_chars_result{nullptr, std::errc::invalid_argument};
                if (!okX || ey != std::errc() || py != end)
                    return usage("--at needs picture pixels X,Y, not \"" + value + "\"");
                options.at = {x, y};
            } else if (args[i] == "--into" || args[i] == "--sex") {
                if (i + 1 == args.size()) return usage(args[i] + " needs a value");
                const std::string &value = args[++i];
                if (args[i - 1] == "--into") {
                    options.intoWorkbook = value;
                } else if (value.size() == 1 && isValidSex(value[0] - '0')) {
                    options.sex = value[0] - '0';
                } else {
                    return usage("--sex is 0 (male) or 1 (female), not \"" + value + "\"");
                }
            } else {
                options.photos.push_back(args[i]);
            }
        }
        if (options.photos.empty()) return usage("detect needs at least one photo");
        if (options.intoWorkbook.empty() != (options.sex < 0))
            return usage("--into and --sex go together");
        return tool::runDetectModule(options, std::cout, std::cerr);
    }
    if (command == "track") {
        tool::TrackOptions options;
        int sex = -1;
        for (size_t i = 1; i < args.size(); ++i) {
            const std::string &a = args[i];
            if (a == "--from" || a == "--to" || a == "--every" || a == "--into" || a == "--sex") {
                if (i + 1 == args.size()) return usage(a + " needs a value");
                const std::string &value = args[++i];
                const char *end = value.data() + value.size();
                if (a == "--into") {
                    options.intoWorkbook = value;
                } else if (a == "--sex") {
                    if (value != "0" && value != "1")
                        return usage("--sex is 0 (male) or 1 (female), not \"" + value + "\"");
                    sex = value[0] - '0';
                } else if (a == "--every") {
                    auto [p, ec] = std::from_chars(value.data(), end, options.every);
                    if (ec != std::errc() || p != end || options.every < 1)
                        return usage("--every needs a whole number from 1, not \"" + value + "\"");
                } else {
                    double seconds = 0;
                    auto [p, ec] = std::from_chars(value.data(), end, seconds);
                    if (ec != std::errc() || p != end || !(seconds >= 0))
                        return usage(a + " needs a time in seconds, not \"" + value + "\"");
                    (a == "--from" ? options.fromSeconds : options.toSeconds) = seconds;
                }
            } else if (options.video.empty()) {
                options.video = a;
            } else {
                return usage("track takes one video, not also \"" + a + "\"");
            }
        }
        if (options.video.empty()) return usage("track needs a video");
        if (options.intoWorkbook.empty() || sex < 0) return usage("track needs --into and --sex");
        if (options.toSeconds >= 0 && options.toSeconds < options.fromSeconds)
            return usage("--to lies before --from");
        options.sex = sex;
        return tool::runTrackModule(options, std::cout, std::cerr);
    }
    if (command == "export-csv" && args.size() == 3) {
        // Reads the file as it is on disk: the program's lock is not taken and nothing is
        // written to the workbook, so this works while the program has it open.
        auto book = engine->open(args[1]);
        const std::string csv = report::recordsCsvText(store::readWorkbookRecords(*book));
        store::replaceAtomically(store::saveTarget(args[2]), args[2],
                                 {reinterpret_cast<const uint8_t *>(csv.data()), csv.size()}, {});
        return 0;
    }
    return usage(command == "dump" || command == "copy" || command == "generate" ||
                         command == "detect" || command == "export-csv" || command == "track"
                     ? "wrong arguments for " + command
                     : "unknown command \"" + command + "\"");
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("no command given");
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage << "\n\n" << kHelp;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "pondera2d-workbook " << pondera::kVersion << "\n";
        return 0;
    }
    try {
        return run(args);
    } catch (const pondera::Error &e) {
        std::cerr << "pondera2d-workbook: error " << e.number() << ": " << e.what() << "\n";
    } catch (const std::exception &e) {
        std::cerr << "pondera2d-workbook: " << e.what() << "\n";
    }
    return 1;
}
