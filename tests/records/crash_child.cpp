// Helper program of the crash tests: opens the record store in the folder given, changes
// records as a user would, and after each Commit reports the acknowledged change on stdout
// (one line, written in one call) until the test kills it. Every so often it closes and reopens
// the store, so that kills also land during saves, and it saves in the background now and then
// while it goes on changing records, as the window does when the user pauses.
//
//   record_crash_child <folder> <first value> <seed> [<save> <step>]
//
// With <save> and <step> (0 before anything is written, 1 new file durable under its temporary
// name, 2 workbook replaced), the child stops inside its save number <save> (1 is the save at
// the first start) at that step, reports "P <step> <b|c>" (b: a background save, c: one on the
// store's own thread) and waits there for the kill; a background save held so leaves the child
// changing records until it closes.
//
// Lines: "S"                        a close (with its save) and a reopen begin
//        "A <code>"                 a record was added
//        "W <code> <lm> <seg> <v>"  landmark lm x, segment seg x and the memo of code got v
//        "P <step> <b|c>"           stopped inside a save
// Values grow with every change, so a cell holding a later, unacknowledged change still reads
// at least the acknowledged value.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "base/error.h"
#include "store/platform/files.h"
#include "store/records/ClassEXCEL.h"

namespace {

void report(const std::string &line) {
    const std::string out = line + "\n";
    if (::write(STDOUT_FILENO, out.data(), out.size()) != static_cast<ssize_t>(out.size()))
        std::_Exit(3);
}

int stopSave = 0, stopStep = -1;
std::atomic<int> savesBegun{0};
std::thread::id mainThread;

void onSaveStep(pondera::store::SaveStep step) {
    if (step == pondera::store::SaveStep::Begin) ++savesBegun;
    if (savesBegun != stopSave || static_cast<int>(step) != stopStep) return;
    report("P " + std::to_string(stopStep) +
           (std::this_thread::get_id() == mainThread ? " c" : " b"));
    for (;;)
        ::pause();  // until the kill
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4 && argc != 6) return 2;
    mainThread = std::this_thread::get_id();
    if (argc == 6) {
        stopSave = std::atoi(argv[4]);
        stopStep = std::atoi(argv[5]);
        pondera::store::setSaveObserver(onSaveStep);
    }
    const std::string folder = argv[1];
    long value = std::atol(argv[2]);
    std::mt19937 rng(static_cast<unsigned>(std::atol(argv[3])));
    pondera::ClassLANDMARK landMark;
    pondera::ClassSEGMENT segment(landMark);
    try {
        auto store = std::make_unique<pondera::ClassEXCEL>(
            landMark, segment, pondera::ClassEXCEL::Options{folder, nullptr});
        std::atomic<bool> saved{false};
        for (int command = 1; command < 9000; ++command) {
            if (saved.exchange(false)) store->FinishBackgroundSave();
            if (command % 25 == 5 || command % 25 == 15)
                store->SaveInBackground([&saved] { saved = true; });
            if (command % 25 == 0) {
                report("S");  // a save starts: the test may aim its kill at it
                store->Close();
                store = std::make_unique<pondera::ClassEXCEL>(
                    landMark, segment, pondera::ClassEXCEL::Options{folder, nullptr});
            }
            const int16_t last = store->GetCodeMaxNum();
            if (command % 7 == 1 || last < 4) {
                const int16_t code = store->AddCode();
                store->Commit();
                report("A " + std::to_string(code));
                continue;
            }
            const int16_t code = static_cast<int16_t>(4 + rng() % (last - 3));
            const int16_t lm = static_cast<int16_t>(rng() % 22);
            const int16_t seg = static_cast<int16_t>(rng() % 15);
            ++value;
            store->SetCurCode(code);
            store->PutLandMarkX(lm, static_cast<float>(value));
            store->PutCOGSX(seg, static_cast<float>(value));
            store->PutMemo(std::to_string(value));
            store->Commit();
            report("W " + std::to_string(code) + " " + std::to_string(lm) + " " +
                   std::to_string(seg) + " " + std::to_string(value));
        }
        store->Close();
    } catch (const pondera::Error &e) {
        std::fprintf(stderr, "record_crash_child: error %d: %s\n", e.number(), e.what());
        return 1;
    }
    ::pause();
    return 0;
}
