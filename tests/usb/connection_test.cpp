// The controller's exchanges and its connection over the real transport: libusb, the emulated
// device and the firmware model behind it.

#include <chrono>
#include <thread>

#include "stampctl/core/result_codes.h"
#include "stampctl/stampctl.h"
#include "tests/usb/usb_fixture.h"

namespace stampctl::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
constexpr char kFactoryCode[] = "mt5934mt";

// umockdev's worker thread closes its end of a closed handle's connection a moment later.
template <typename Count>
int settledAtMost(int limit, Count count)
{
    int now = count();
    for (int i = 0; i < 100 && now > limit; ++i) {
        std::this_thread::sleep_for(milliseconds(10));
        now = count();
    }
    return now;
}

class ConnectionOverUsbTest : public UsbPathTest {
protected:
    // The controller outlives the test; nothing of it may reach for the device afterwards.
    void TearDown() override
    {
        if (!IsSkipped()) disconnMachine();
    }
};

// What the protocol does on top is pinned over the simulated link; here only what the bus adds.
TEST_F(ConnectionOverUsbTest, FindsOnlyTheMachinesProductOnTheBus)
{
    EXPECT_EQ(connMachine(kFactoryCode), EC_PORT_OPENFAIL);  // nothing on the bus
    m_usb.plug(kMachineProduct + 1);
    EXPECT_EQ(connMachine(kFactoryCode), EC_PORT_OPENFAIL);  // another product
    EXPECT_EQ(m_usb.claims(), 0);
    plugMachine();
    EXPECT_EQ(connMachine(kFactoryCode), EC_OK);
    // A short packet is a failed read, not a reply to check.
    m_machine.injectFault(sim::Fault::ShortPacket, 1, sim::FaultTarget::Command);
    EXPECT_STREQ(getMachineType(), "-@#-401");
}

TEST_F(ConnectionOverUsbTest, UnplugDuringAnExchangeFailsItAndTheConnectionAfter)
{
    plugMachine();
    ASSERT_EQ(connMachine(kFactoryCode), EC_OK);
    // The machine takes the request and vanishes before it answers.
    m_machine.injectFault(sim::Fault::ReadTimeout, 1, sim::FaultTarget::Command);
    std::string result;
    std::thread exchange([&] { result = getMachineType(); });
    ASSERT_TRUE(m_usb.waitForStalledTransfer(2000));
    const auto start = steady_clock::now();
    unplugMachine();
    exchange.join();
    EXPECT_EQ(result, "-@#-401");
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));  // not the read time-out

    EXPECT_STREQ(getMachineType(), "-@#-400");  // its poll finds no machine
    EXPECT_EQ(connMachine(kFactoryCode), EC_PORT_OPENFAIL);
    plugMachine();  // plugged in again, it connects as before
    EXPECT_EQ(connMachine(kFactoryCode), EC_OK);
}

TEST_F(ConnectionOverUsbTest, RepeatedConnectAndDisconnectLeakNothing)
{
    plugMachine();
    // The first cycle sets up what libusb keeps for the process.
    ASSERT_EQ(connMachine(kFactoryCode), EC_OK);
    ASSERT_EQ(disconnMachine(), EC_OK);
    const auto descriptorCount = [] { return entriesOf("/proc/self/fd"); };
    const auto threadCount = [] { return entriesOf("/proc/self/task"); };
    const int descriptors = descriptorCount(), threads = threadCount();
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(connMachine(kFactoryCode), EC_OK);
        ASSERT_EQ(disconnMachine(), EC_OK);
    }
    // A leaked context alone would hold two descriptors for each cycle.
    EXPECT_LE(settledAtMost(descriptors, descriptorCount), descriptors);
    EXPECT_LE(settledAtMost(threads, threadCount), threads);
    EXPECT_EQ(m_usb.claims(), m_usb.releases());
}

}  // namespace
}  // namespace stampctl::test
