// The in-process stand-in for CDevByUsb: the library's transfers go to a SimMachine instead of
// the bus, with the same results and console lines as the real transport.
#include <cstdio>

#include "stampctl/sim/sim_machine.h"

namespace stampctl::sim {
namespace {

// The machine's USB identity and its two bulk endpoints.
constexpr int kVendorId = 0x0483;
constexpr int kProductId = 0x5750;
constexpr int kEndpointOut = 0x01;
constexpr int kEndpointIn = 0x82;
constexpr int kTransportFailure = -1;

class SimTransport : public UsbTransport {
public:
    explicit SimTransport(SimMachine& m) : m_machine(m) {}

    void SetPoint(int outPoint, int inPoint) override
    {
        m_outPoint = outPoint;
        m_inPoint = inPoint;
    }

    int DevUsbOpen(int productId, int vendorId) override
    {
        const int r = (productId == kProductId && vendorId == kVendorId) ? m_machine.hostOpen() : kTransportFailure;
        if (r < 0) {
            std::printf("not find dev \n");
            return r;
        }
        if (r == 1) std::printf("driver error\n");
        m_open = true;
        m_pluggingOpened = m_machine.pluggings();
        return r;
    }

    void DevUsbClose() override { m_open = false; }

    int DevUsbWrite(unsigned char* data, unsigned int len, int& transferred, unsigned int /*timeoutMs*/) override
    {
        transferred = 0;
        if (!m_open) return handleMissing();
        if (stale()) return kUsbErrorNoDevice;
        // A transfer to an endpoint the device does not have fails on the bus.
        if (m_outPoint != kEndpointOut || m_machine.hostWrite(data, len) != 0) {
            std::printf("*** bulk_transfer failed! \n");
            return kTransportFailure;
        }
        transferred = static_cast<int>(len);
        return 0;
    }

    int DevUsbRead(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs) override
    {
        transferred = 0;
        if (!m_open) return handleMissing();
        if (stale()) return kUsbErrorNoDevice;
        if (m_inPoint != kEndpointIn) return kUsbErrorIo;
        const int r = m_machine.hostRead(data, len, transferred, timeoutMs);
        if (r != 0) std::printf("*** bulk_transfer failed! \n");
        return r;
    }

private:
    // A handle of the machine from before it was unplugged, as libusb's: no device.
    bool stale() const { return m_machine.pluggings() != m_pluggingOpened; }

    int handleMissing()
    {
        std::printf("*** m_usb_handle is NULL\n");
        return kTransportFailure;
    }

    SimMachine& m_machine;
    int m_outPoint = kEndpointOut;
    int m_inPoint = kEndpointIn;
    bool m_open = false;
    int m_pluggingOpened = 0;
};

}  // namespace

std::unique_ptr<UsbTransport> makeSimTransport(SimMachine& m) { return std::make_unique<SimTransport>(m); }

}  // namespace stampctl::sim
