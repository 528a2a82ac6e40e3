// Controller access: one controller per process, the exception guard, strupr.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "tests/support/test_env.h"

using namespace stampctl;
using namespace stampctl::test;

namespace {

TEST(Controller, ConcurrentFirstCallsBuildOneController)
{
    TempBaseDir base;
    CSeal* seen[2] = {nullptr, nullptr};
    std::thread a([&] { seen[0] = CSeal::Instance(); });
    std::thread b([&] { seen[1] = CSeal::Instance(); });
    a.join();
    b.join();
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);
    const auto bodies = traceBodies(base.path());
    EXPECT_EQ(std::count(bodies.begin(), bodies.end(), "=== CSeal::CSeal ==="), 1);
}

TEST(Controller, GuardTurnsAnExceptionIntoCallFailure)
{
    TempBaseDir base;
    int calls = 0;
    const int result = guardedCall("===== openVideoCap 异常=====", [&]() -> int {
        ++calls;
        throw std::runtime_error("camera gone");
    });
    EXPECT_EQ(result, EC_FAIL);
    EXPECT_EQ(calls, 1);
    const auto bodies = traceBodies(base.path());
    EXPECT_EQ(std::count(bodies.begin(), bodies.end(), "===== openVideoCap 异常====="), 1);

    EXPECT_EQ(guardedCall("unused", [] { return 7; }), 7);
    EXPECT_EQ(guardedCall("unused", [] { return short(-3); }), short(-3));
}

TEST(Controller, StruprTouchesOnlyLowerCaseAscii)
{
    char text[] = "ab0z-{`}\xc3\xa9xyZ";
    CSeal::strupr(text);
    EXPECT_STREQ(text, "AB0Z-{`}\xc3\xa9XYZ");
    char empty[] = "";
    CSeal::strupr(empty);
    EXPECT_STREQ(empty, "");
    CSeal::strupr(nullptr);
}

}  // namespace
