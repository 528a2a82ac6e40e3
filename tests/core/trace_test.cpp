// The trace log: line formats, cut lengths, nesting, the day file and concurrent writers.
//
// Trace wording is pinned only in this test: the trace format is part of the product's
// contract, what individual operations write into it is not.
#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/stat.h>
#include <thread>

#include "stampctl/core/clock.h"
#include "stampctl/core/trace.h"
#include "tests/support/test_env.h"

using namespace stampctl;
using namespace stampctl::test;

namespace {

class TraceTest : public ::testing::Test {
protected:
    TempBaseDir base;
    VirtualClock clk{localWallMs(2026, 3, 14, 9, 5, 7, 42)};
    ScopedClock scoped{&clk};

    std::vector<std::string> lines() { return splitLines(readFile(traceFileFor(base.path(), clk.wallMs()))); }
};

// The day file is group-writable whatever the umask.
TEST_F(TraceTest, LinesCarryStampAndExactSeparatorsAndNestedExitLines)
{
    const mode_t savedMask = ::umask(022);
    for (int level : {kTraceInfo, kTraceError, 2}) TrcWritef(level, "value %d and %s", 7, "text");
    {
        TRC_LOGER log(TRC_LOGER::TRC_API, "op(%d)", 3);
        log.SetRet("first");
        log.SetRet("ret=%d", -401);
    }
    {
        TRC_LOGER silent(TRC_LOGER::TRC_PROTOCOL, "quiet");
    }
    try {  // nested loggers left by an exception still write their exit lines
        TRC_LOGER outer(TRC_LOGER::TRC_API, "outer");
        outer.SetRet("set before the throw");
        TRC_LOGER inner(TRC_LOGER::TRC_PROTOCOL, "inner");
        throw std::runtime_error("boom");
    } catch (const std::runtime_error&) {
    }

    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "09:05:07.042 value 7 and text",
                           "09:05:07.042 value 7 and text",
                           "09:05:07.042 value 7 and text",
                           "09:05:07.042 -->op(3)",
                           "09:05:07.042 <--op(3) ret=-401",
                           "09:05:07.042 -->quiet",
                           "09:05:07.042 <--quiet ",
                           "09:05:07.042 -->outer",
                           "09:05:07.042 -->inner",
                           "09:05:07.042 <--inner ",
                           "09:05:07.042 <--outer set before the throw",
                       }));
    EXPECT_EQ(readFile(traceFileFor(base.path(), clk.wallMs())).back(), '\n');
    ::umask(savedMask);
    struct stat st {};
    ASSERT_EQ(::stat(traceFileFor(base.path(), clk.wallMs()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
}

TEST_F(TraceTest, LongTextsAreCutNotOverrun)
{
    const std::string longText(2000, 'x');
    TrcWritef(kTraceInfo, "%s", longText.c_str());
    {
        TRC_LOGER log(TRC_LOGER::TRC_API, "%s", longText.c_str());
        log.SetRet("%s", longText.c_str());
    }
    const auto all = lines();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], "09:05:07.042 " + std::string(1023, 'x'));
    EXPECT_EQ(all[1], "09:05:07.042 -->" + std::string(1023, 'x'));
    EXPECT_EQ(all[2], "09:05:07.042 <--" + std::string(1023, 'x') + " " + std::string(511, 'x'));
}

// A missing directory is silent; a long base directory gets its own day file.
TEST_F(TraceTest, BaseDirectoryMissingOrLong)
{
    ::setenv("STAMPCTL_BASE_DIR", (base.path() + "/nowhere").c_str(), 1);
    TrcWritef(kTraceError, "lost");
    const std::string deep = base.path() + "/" + std::string(120, 'd');
    ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((deep + "/log").c_str(), 0755), 0);
    ::setenv("STAMPCTL_BASE_DIR", deep.c_str(), 1);
    TrcWritef(kTraceError, "deep");
    ::setenv("STAMPCTL_BASE_DIR", base.path().c_str(), 1);
    EXPECT_EQ(splitLines(readFile(traceFileFor(deep, clk.wallMs()))).size(), 1u);
    EXPECT_TRUE(lines().empty());
}

TEST_F(TraceTest, ConcurrentWritersNeverMixInsideALine)
{
    constexpr int kThreads = 8, kLines = 200;
    const std::string padding(300, '.');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &padding] {
            for (int i = 0; i < kLines; ++i) TrcWritef(kTraceInfo, "thread %d line %d %s end", t, i, padding.c_str());
        });
    for (auto& th : threads) th.join();

    const std::string head = "09:05:07.042 thread ", tail = " " + padding + " end";
    const auto all = lines();
    ASSERT_EQ(all.size(), static_cast<size_t>(kThreads * kLines));
    for (const auto& line : all) {
        ASSERT_GT(line.size(), head.size() + tail.size()) << line;
        ASSERT_EQ(line.compare(0, head.size(), head), 0) << line;
        ASSERT_EQ(line.compare(line.size() - tail.size(), tail.size(), tail), 0) << line;
    }
}

}  // namespace
