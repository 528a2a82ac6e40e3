// The seam under the frame protocol: raw byte blocks out and in, with time-outs. The real
// machine is reached through libusb (CDevByUsb); the simulated machine plugs in here too.
#pragma once

class UsbTransport {
public:
    virtual ~UsbTransport() = default;

    virtual void SetPoint(int outPoint, int inPoint) = 0;
    // Negative: failure. Anything else: the caller goes on (see CDevByUsb for the values).
    virtual int DevUsbOpen(int productId, int vendorId) = 0;
    virtual void DevUsbClose() = 0;
    // 0 on success, -1 on any failure.
    virtual int DevUsbWrite(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs) = 0;
    // 0 on success, -1 without a device, or the negative libusb code of a failed transfer.
    virtual int DevUsbRead(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs) = 0;
};

#include <memory>

namespace stampctl::link {

// Where the controller gets its transport from, when something other than libusb or the
// simulated machine is to answer (the reply fuzzer). Installed before the controller is first
// used: the controller asks once, when it is built. nullptr: the usual choice.
using TransportFactory = std::unique_ptr<UsbTransport> (*)();
void setTransportFactory(TransportFactory factory);
TransportFactory transportFactory();

}  // namespace stampctl::link
