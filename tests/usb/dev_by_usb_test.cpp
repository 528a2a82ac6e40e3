// CDevByUsb through the system's libusb against the emulated machine. A machine unplugged
// during a read is followed through the controller (connection_test).

#include <chrono>

#include "stampctl/link/dev_by_usb.h"
#include "tests/usb/usb_fixture.h"

namespace stampctl::test {
namespace {

constexpr int kVendor = 0x0483;
constexpr int kLibusbErrorTimeout = -7;
constexpr unsigned kShortTimeoutMs = 50;  // a time-out that the test, not the library, chooses

using Bytes = std::vector<unsigned char>;
const Bytes kHeartbeat = {0xAA, 0x55, 0x01, 0x00, 0x00};

class DevByUsbTest : public UsbPathTest {
protected:
    void SetUp() override
    {
        UsbPathTest::SetUp();
        m_dev.SetPoint(0x01, 0x82);
    }
    int open() { return m_dev.DevUsbOpen(kMachineProduct, kVendor); }
    int write(const Bytes& frame, unsigned timeoutMs = 1000)
    {
        Bytes copy = frame;
        return m_dev.DevUsbWrite(copy.data(), static_cast<unsigned>(copy.size()), m_written, timeoutMs);
    }
    // A heartbeat's reply, whole: 64 bytes.
    int read(Bytes& packet, unsigned timeoutMs = 2000)
    {
        packet.assign(64, 0);
        int transferred = -1;
        const int rv = m_dev.DevUsbRead(packet.data(), 64, transferred, timeoutMs);
        packet.resize(transferred > 0 ? static_cast<size_t>(transferred) : 0);
        return rv;
    }

    int m_written = -1;
    CDevByUsb m_dev;  // after the device: closed before it goes
};

TEST_F(DevByUsbTest, ClaimsInterfaceZeroAroundEachTransferDetachingABoundKernelDriver)
{
    Bytes reply;
    EXPECT_EQ(write(kHeartbeat), -1);  // not open
    EXPECT_EQ(read(reply), -1);
    m_dev.DevUsbClose();  // closing what is not open is harmless
    plugMachine(/*kernelDriverBound=*/true);
    EXPECT_EQ(open(), 1);
    EXPECT_FALSE(m_usb.kernelDriverBound());
    EXPECT_EQ(write(kHeartbeat), 0);
    EXPECT_EQ(m_written, 5);
    EXPECT_EQ(read(reply), 0);
    ASSERT_EQ(reply.size(), 64u);
    EXPECT_EQ(reply[2], 0x81);
    EXPECT_EQ(requests(), std::vector<Bytes>{kHeartbeat});
    EXPECT_EQ(std::pair(m_usb.claims(), m_usb.releases()), std::pair(2, 2));

    // A driver that takes the interface back while the handle is open makes the claim fail as
    // busy; the transport detaches it and claims again.
    m_usb.bindKernelDriver();
    EXPECT_EQ(write(kHeartbeat), 0);
    EXPECT_EQ(read(reply), 0);
    EXPECT_EQ(reply.size(), 64u);
    EXPECT_EQ(m_usb.driverDetaches(), 2);
    EXPECT_EQ(requests().size(), 2u);
}

TEST_F(DevByUsbTest, TimeOutsGiveTheirResultsAndLeaveTheLinkUsable)
{
    plugMachine();
    ASSERT_EQ(open(), 0);

    // Nothing was asked, so the machine has nothing to say.
    Bytes reply;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read(reply, kShortTimeoutMs), kLibusbErrorTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kShortTimeoutMs));
    EXPECT_TRUE(reply.empty());

    // The cancelled transfer is gone, and the interface was given back.
    EXPECT_EQ(write(kHeartbeat), 0);
    EXPECT_EQ(read(reply), 0);
    EXPECT_EQ(reply.size(), 64u);
    EXPECT_EQ(m_usb.releases(), m_usb.claims());
}

}  // namespace
}  // namespace stampctl::test
