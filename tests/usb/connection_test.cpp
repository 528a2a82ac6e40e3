// The controller's exchanges and its connection over the real transport: libusb, the emulated
// device and the firmware model behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "stampctl/core/result_codes.h"
#include "stampctl/seal.h"
#include "tests/usb/usb_fixture.h"

namespace stampctl::test {
namespace {

using Bytes = std::vector<unsigned char>;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr char kFactoryCode[] = "mt5934mt";
// The security code query on the wire: kind 3, code 0C, sub-code 00.
const Bytes kSecurityCodeQuery = {0x03, 0x03, 0x60, 0x0C, 0x00};

int threadCount()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

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
    void TearDown() override
    {
        // The controller outlives the test; nothing of it may reach for the device afterwards.
        if (!IsSkipped()) seal()._disconnMachine();
    }

    static CSeal& seal() { return *CSeal::Instance(); }

    // Kind, length, 60, code and sub-code of some request match `head`.
    bool sent(const Bytes& head) const
    {
        const auto frames = requests();
        return std::any_of(frames.begin(), frames.end(), [&head](const Bytes& frame) {
            return frame.size() >= head.size() + 2 && std::equal(head.begin(), head.end(),
                                                                 frame.begin() + 2);
        });
    }

    bool traced(const std::string& line) const { return test::traced(m_base.path(), line); }
};

TEST_F(ConnectionOverUsbTest, ConnectsWithTheFactoryCodeOrTheStoredSecurityCode)
{
    m_machine.setSecurityCode("s3cret");
    plugMachine();

    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
    EXPECT_EQ(requests().front(), (Bytes{0xAA, 0x55, 0x01, 0x00, 0x00}));
    EXPECT_FALSE(sent(kSecurityCodeQuery));
    EXPECT_TRUE(m_machine.lightOn());

    EXPECT_EQ(seal()._connMachine("s3cret"), EC_OK);
    EXPECT_TRUE(sent(kSecurityCodeQuery));
    EXPECT_EQ(seal()._connMachine("s3cre"), -91);
    // A refused code leaves the link open.
    EXPECT_EQ(seal()._isConnMachine(), 0);
}

TEST_F(ConnectionOverUsbTest, ConnectsToAMachineWhoseInterfaceAKernelDriverHolds)
{
    plugMachine(/*kernelDriverBound=*/true);
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
    EXPECT_EQ(m_usb.driverDetaches(), 1);
    EXPECT_EQ(seal()._isConnMachine(), 0);
}

TEST_F(ConnectionOverUsbTest, QuerySetAndChunkedBlockRunEndToEnd)
{
    m_machine.setMachineNum("SN-0042");
    plugMachine();
    ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);

    EXPECT_STREQ(seal()._getMachineNum(), "SN-0042");

    EXPECT_EQ(seal()._ExeCmd(CMD_LIGHT_OFF), EC_OK);
    EXPECT_FALSE(m_machine.lightOn());

    // 90 bytes with their two length bytes make two chunks each way.
    std::vector<char> block(90);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + 1);
    ASSERT_EQ(seal()._ExeBuf(CMD_WRITE_SEAL_BUF, block.data(), 90), EC_OK);
    const std::vector<uint8_t> stored = m_machine.sealInfo();
    EXPECT_EQ(stored, std::vector<uint8_t>(block.begin(), block.end()));

    ASSERT_EQ(seal()._ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0), EC_OK);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), seal().bufInfo()));
}

TEST_F(ConnectionOverUsbTest, WithoutTheMachineConnectingFailsWithPortOpenFail)
{
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_PORT_OPENFAIL);
    EXPECT_TRUE(traced("<--_connMachine DevUsbOpen fail return:-1, -400"));

    m_usb.plug(UsbIdentity{0x0483, 0x5751});
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_PORT_OPENFAIL);
    EXPECT_EQ(m_usb.claims(), 0);
    EXPECT_EQ(seal()._isConnMachine(), 1);
}

TEST_F(ConnectionOverUsbTest, BadRepliesOverTheWireAreRetriedOrRefusedAsTheyShouldBe)
{
    plugMachine();
    ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);

    // Two corrupted replies, then a good one: the same frame goes out three times.
    m_machine.clearLog();
    m_machine.injectFault(sim::Fault::BadChecksum, 2, sim::FaultTarget::Command);
    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), EC_OK);
    auto sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], sent[2]);

    // A short packet is a failed read, not a reply to check.
    m_machine.clearLog();
    m_machine.injectFault(sim::Fault::ShortPacket, 1, sim::FaultTarget::Command);
    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), -401);
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_TRUE(traced("Com Read ERROR:-401, tmpLen:40"));
}

// The one test that waits for the library's own read time-out (2 s).
TEST_F(ConnectionOverUsbTest, ReadTimeOutEndsTheExchangeWithoutRetry)
{
    plugMachine();
    ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
    m_machine.clearLog();
    m_machine.injectFault(sim::Fault::ReadTimeout, 1, sim::FaultTarget::Command);

    const auto start = steady_clock::now();
    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), -401);
    EXPECT_GE(steady_clock::now() - start, milliseconds(2000));
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_TRUE(traced("Com Read ERROR:-401, tmpLen:0"));

    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), EC_OK);
}

TEST_F(ConnectionOverUsbTest, UnplugDuringAnExchangeFailsItAndTheConnectionAfter)
{
    plugMachine();
    ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);

    // The machine takes the request and vanishes before it answers.
    m_machine.injectFault(sim::Fault::ReadTimeout, 1, sim::FaultTarget::Command);
    int result = 0;
    std::thread exchange([&] { result = seal()._ExeCmd(CMD_GET_MACHINE_TYPE); });
    ASSERT_TRUE(m_usb.waitForStalledTransfer(2000));
    const auto start = steady_clock::now();
    unplugMachine();
    exchange.join();
    EXPECT_EQ(result, -401);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));  // not the read time-out

    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), -100);
    EXPECT_TRUE(traced("Com Write fail: -100"));

    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_PORT_OPENFAIL);
    EXPECT_TRUE(traced("<--_connMachine DevUsbOpen fail return:-1, -400"));

    // Plugged in again, it connects as before.
    plugMachine();
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
}

TEST_F(ConnectionOverUsbTest, RepeatedConnectAndDisconnectLeakNothing)
{
    plugMachine();
    // The first cycle sets up what libusb keeps for the process.
    ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
    ASSERT_EQ(seal()._disconnMachine(), EC_OK);
    const int descriptors = openDescriptors();
    const int threads = threadCount();

    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
        ASSERT_EQ(seal()._disconnMachine(), EC_OK);
    }
    // A leaked context alone would hold two descriptors for each cycle.
    EXPECT_LE(settledAtMost(descriptors, openDescriptors), descriptors);
    EXPECT_LE(settledAtMost(threads, threadCount), threads);
    EXPECT_EQ(m_usb.claims(), m_usb.releases());
}

}  // namespace
}  // namespace stampctl::test
