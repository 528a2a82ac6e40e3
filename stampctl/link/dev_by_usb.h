// The real machine's transport: one interface, two bulk endpoints, reached through libusb.
#pragma once

#include "stampctl/link/usb_transport.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

class CDevByUsb : public UsbTransport {
public:
    CDevByUsb() = default;
    ~CDevByUsb() override;
    CDevByUsb(const CDevByUsb&) = delete;
    CDevByUsb& operator=(const CDevByUsb&) = delete;

    void SetPoint(int outPoint, int inPoint) override;
    // 0 opened; 1 opened after detaching a kernel driver, or the USB library could not start;
    // 0 also when a descriptor could not be read (nothing opened); -1 no such device; another
    // negative libusb code when opening or the kernel-driver query failed.
    int DevUsbOpen(int productId, int vendorId) override;
    void DevUsbClose() override;
    int DevUsbWrite(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs) override;
    int DevUsbRead(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs) override;

private:
    // Gives back the context and device list of an earlier open, so that reconnecting does not
    // leak one of each per connection.
    void releaseLibrary();
    // Claims interface 0 for one transfer, detaching a kernel driver that holds it.
    bool claim();
    int bulk(int endpoint, unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs);

    libusb_context* m_ctx = nullptr;
    libusb_device_handle* m_usb_handle = nullptr;
    libusb_device** m_devList = nullptr;
    libusb_device* m_dev = nullptr;
    int m_outPoint = 0;
    int m_inPoint = 0;
};
