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
    virtual int DevUsbWrite(unsigned char* data, unsigned int len, int& transferred,
                            unsigned int timeoutMs) = 0;
    // 0 on success, -1 without a device, or the negative libusb code of a failed transfer.
    virtual int DevUsbRead(unsigned char* data, unsigned int len, int& transferred,
                           unsigned int timeoutMs) = 0;
};
