// Callers on several threads at once: each must get its own answers, never another call's reply
// or a spurious failure. That each thread keeps its own texts is pinned with the binding check.

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

constexpr int kThreads = 4, kCallsPerThread = 500;
constexpr char kNum[] = "NUM-0042";
constexpr char kType[] = "OVM260";
constexpr char kId[] = "SN-OV260-2026-000117";
constexpr char kSlots[] = "1:1;2:0;3:1;4:0;5:0;6:0";

// One kind of call and whether its answer is the right one.
struct Call {
    const char* name;
    std::function<bool()> ok;
};

bool textIs(const char* got, const char* want) { return got && std::strcmp(got, want) == 0; }

std::vector<Call> mixedCalls(const std::string& tags)
{
    return {
        {"isConnMachine", [] { return isConnMachine() == 0; }},
        {"getMachineNum", [] { return textIs(getMachineNum(), kNum); }},
        {"getMachineType", [] { return textIs(getMachineType(), kType); }},
        {"getMachineId", [] { return textIs(getMachineId(), kId); }},
        {"querySloatInfo", [] { return textIs(querySloatInfo(kNum), kSlots); }},
        {"getRFID", [tags] { return textIs(getRFID(), tags.c_str()); }},
        {"openPaperDoor", [] { return openPaperDoor() == EC_OK; }},
        {"checkPaperDoorState",
         [] {
             const int state = checkPaperDoorState();
             return state == 1 || state == 2;
         }},
    };
}

TEST(ManyCallers, EveryCallGetsItsOwnReply)
{
    test::SimSession s;
    s.machine().setMachineNum(kNum);
    s.machine().setMachineType(kType);
    s.machine().setMachineId(kId);
    for (int n = 2; n <= 6; ++n) s.machine().setSlot(n, false);
    s.machine().setSlot(1, true, {0x8A, 0x01, 0x02, 0x03});
    s.machine().setSlot(3, true, {0x8B, 0x04, 0x05, 0x06});
    ASSERT_EQ(s.connect(), EC_OK);
    const std::string tags = getRFID();
    ASSERT_EQ(tags, "8A010203_1#8B040506_3");

    const std::vector<Call> calls = mixedCalls(tags);
    std::atomic<int> failures{0};
    std::atomic<const char*> firstFailure{""};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread walks the calls from its own starting point, so that different kinds
            // of calls meet on the wire.
            for (int i = 0; i < kCallsPerThread; ++i) {
                const Call& call = calls[(i + 3 * t) % calls.size()];
                if (!call.ok() && failures.fetch_add(1) == 0) firstFailure = call.name;
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0) << "first failing call: " << firstFailure.load();
}

}  // namespace
