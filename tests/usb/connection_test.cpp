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
    // The controller outlives the test; nothing of it may reach for the device afterwards.
    void TearDown() override
    {
        if (!IsSkipped()) seal()._disconnMachine();
    }
    static CSeal& seal() { return *CSeal::Instance(); }
    // Requests carrying the security code query (kind 3, code 0C).
    size_t codeQueries() const
    {
        const auto frames = requests();
        return std::count_if(frames.begin(), frames.end(), [](const Bytes& f) { return f[2] == 3 && f[5] == 0x0C; });
    }
};

TEST_F(ConnectionOverUsbTest, ConnectsOnlyToTheMachineWithTheFactoryOrTheStoredCode)
{
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_PORT_OPENFAIL);  // nothing on the bus
    m_usb.plug(UsbIdentity{0x0483, 0x5751});
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_PORT_OPENFAIL);  // another product
    EXPECT_EQ(m_usb.claims(), 0);

    m_machine.setSecurityCode("s3cret");
    plugMachine();
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
    EXPECT_EQ(requests().front(), (Bytes{0xAA, 0x55, 0x01, 0x00, 0x00}));
    EXPECT_EQ(codeQueries(), 0u);
    EXPECT_TRUE(m_machine.lightOn());
    EXPECT_EQ(seal()._connMachine("s3cret"), EC_OK);
    EXPECT_EQ(codeQueries(), 1u);
    EXPECT_EQ(seal()._connMachine("s3cre"), EC_BAD_PARAMETER);
    EXPECT_EQ(seal()._isConnMachine(), 0);  // a refused code leaves the link open
}

TEST_F(ConnectionOverUsbTest, QuerySetAndChunkedBlockRunEndToEndAndBadRepliesAreRetried)
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
    EXPECT_EQ(m_machine.sealInfo(), std::vector<uint8_t>(block.begin(), block.end()));
    char read[CSeal::kSealBlockBufferSize];
    ASSERT_EQ(seal()._ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0, read), EC_OK);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), read));

    // Two corrupted replies, then a good one: the same frame goes out three times. A short
    // packet is a failed read, not a reply to check.
    m_machine.clearLog();
    m_machine.injectFault(sim::Fault::BadChecksum, 2, sim::FaultTarget::Command);
    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), EC_OK);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], sent[2]);
    m_machine.injectFault(sim::Fault::ShortPacket, 1, sim::FaultTarget::Command);
    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), EC_NO_VALID_REPLY);
    EXPECT_EQ(requests().size(), 4u);
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
    EXPECT_EQ(result, EC_NO_VALID_REPLY);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));  // not the read time-out

    EXPECT_EQ(seal()._ExeCmd(CMD_GET_MACHINE_TYPE), EC_DISCONNECTED);
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_PORT_OPENFAIL);
    plugMachine();  // plugged in again, it connects as before
    EXPECT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
}

TEST_F(ConnectionOverUsbTest, RepeatedConnectAndDisconnectLeakNothing)
{
    plugMachine();
    // The first cycle sets up what libusb keeps for the process.
    ASSERT_EQ(seal()._connMachine(kFactoryCode), EC_OK);
    ASSERT_EQ(seal()._disconnMachine(), EC_OK);
    const int descriptors = openDescriptors(), threads = threadCount();
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
