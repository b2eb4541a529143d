// The command trap: failures are reported and recovered from, only the outermost command commits,
// and a failed commit is reported as such.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "base/error.h"
#include "session/CommandTrap.h"

using namespace pondera;

namespace {

struct Log {
    std::vector<int> reported;
    int recovered = 0, commits = 0, finished = 0;
    bool commitFails = false;
};

CommandTrap makeTrap(Log &log) {
    return CommandTrap({[&log](int number, const std::string &, const std::string &) {
                            log.reported.push_back(number);
                        },
                        [&log] { ++log.recovered; },
                        [&log] {
                            ++log.commits;
                            if (log.commitFails) throw Error(kErrFileAccess, "disk full");
                        },
                        [&log] { ++log.finished; }});
}

TEST(CommandTrap, FailuresAreReportedByNumberAndTheCommandStillCommits) {
    struct Case {
        std::function<void()> body;
        int number;
    };
    const std::vector<Case> cases{
        {[] { throw Error(kErrTypeMismatch, "cell"); }, kErrTypeMismatch},
        {[] { throw std::bad_alloc(); }, kErrOutOfMemory},
        {[] { throw std::logic_error("bug"); }, kErrInternal},
    };
    for (const Case &c : cases) {
        Log log;
        CommandTrap trap = makeTrap(log);
        trap.Run(c.body);
        EXPECT_EQ(log.reported, std::vector<int>{c.number});
        EXPECT_EQ(log.recovered, 1);
        EXPECT_EQ(log.commits, 1);
        EXPECT_EQ(log.finished, 1);
        EXPECT_FALSE(trap.Running());
    }
}

TEST(CommandTrap, NestedCommandsCommitOnceAtTheEnd) {
    Log log;
    CommandTrap trap = makeTrap(log);
    trap.Run([&] {
        EXPECT_TRUE(trap.Running());
        trap.Run([] {});
        EXPECT_EQ(log.commits, 0);
        trap.Run([] { throw Error(kErrSubscript, "inner"); });
        EXPECT_EQ(log.commits, 0);
    });
    EXPECT_EQ(log.commits, 1);
    EXPECT_EQ(log.reported, std::vector<int>{kErrSubscript});
}

TEST(CommandTrap, FailedCommitIsReported) {
    Log log;
    log.commitFails = true;
    CommandTrap trap = makeTrap(log);
    trap.Run([] {});
    EXPECT_EQ(log.reported, std::vector<int>{kErrFileAccess});
    EXPECT_EQ(log.recovered, 0);
    EXPECT_EQ(log.finished, 1);
}

}  // namespace
