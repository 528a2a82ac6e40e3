#include "stampctl/link/dev_by_usb.h"

#include <libusb.h>

#include <cstdio>

#include "stampctl/core/trace.h"

namespace {
constexpr int kInterface = 0;
constexpr int kKernelDriverActive = 1;
constexpr int kStartFailure = 1;  // what the caller sees when libusb itself cannot start
// Owns the machine's device node through the installed udev rule.
constexpr const char* kOperatorGroup = "stampctl";

// A refused open is the one failure the user can fix alone, so the trace says how.
void traceOpenFailure(int libusbCode)
{
    if (libusbCode == LIBUSB_ERROR_ACCESS) {
        TrcWritef(stampctl::kTraceError,
                  "DevUsbOpen: no permission to open the machine's USB device (libusb %d): "
                  "add the user to group %s and log in again, or use the machine's local seat",
                  libusbCode, kOperatorGroup);
    } else {
        TrcWritef(stampctl::kTraceError,
                  "DevUsbOpen: the machine's USB device cannot be opened "
                  "(libusb %d: %s)",
                  libusbCode, libusb_error_name(libusbCode));
    }
}
}  // namespace

CDevByUsb::~CDevByUsb()
{
    DevUsbClose();
    releaseLibrary();
}

void CDevByUsb::SetPoint(int outPoint, int inPoint)
{
    m_outPoint = outPoint;
    m_inPoint = inPoint;
}

void CDevByUsb::releaseLibrary()
{
    if (m_devList) libusb_free_device_list(m_devList, 1);
    m_devList = nullptr;
    m_dev = nullptr;
    if (m_ctx) libusb_exit(m_ctx);
    m_ctx = nullptr;
}

int CDevByUsb::DevUsbOpen(int productId, int vendorId)
{
    // A handle still open belongs to the context about to be released.
    DevUsbClose();
    releaseLibrary();

    if (libusb_init(&m_ctx) < 0) {
        m_ctx = nullptr;
        std::printf("init error:%d\n", kStartFailure);
        return kStartFailure;
    }
    const ssize_t count = libusb_get_device_list(m_ctx, &m_devList);
    if (count < 0) {
        m_devList = nullptr;
        std::printf("get device list error:%d\n", kStartFailure);
        return kStartFailure;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(m_devList[i], &desc) < 0) return 0;
        if (desc.idProduct == productId && desc.idVendor == vendorId) {
            m_dev = m_devList[i];
            break;
        }
    }
    if (!m_dev) {
        std::printf("not find dev \n");
        return -1;
    }
    const int opened = libusb_open(m_dev, &m_usb_handle);
    if (!m_usb_handle) {
        std::printf("open device error:%d\n", opened);
        traceOpenFailure(opened);
        return opened;
    }
    const int active = libusb_kernel_driver_active(m_usb_handle, kInterface);
    if (active == kKernelDriverActive) {
        libusb_detach_kernel_driver(m_usb_handle, kInterface);
        std::printf("driver error\n");
        return 1;
    }
    return active;
}

void CDevByUsb::DevUsbClose()
{
    if (!m_usb_handle) return;
    libusb_close(m_usb_handle);
    m_usb_handle = nullptr;
}

bool CDevByUsb::claim()
{
    if (libusb_claim_interface(m_usb_handle, kInterface) == 0) return true;
    int rv = libusb_detach_kernel_driver(m_usb_handle, kInterface);
    if (rv < 0) {
        std::printf("*** libusb_detach_kernel_driver failed! rv%d\n", rv);
        return false;
    }
    rv = libusb_claim_interface(m_usb_handle, kInterface);
    if (rv < 0) {
        std::printf("*** libusb_claim_interface failed! rv%d\n", rv);
        return false;
    }
    return true;
}

int CDevByUsb::bulk(int endpoint, unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs)
{
    if (!m_usb_handle) {
        std::printf("*** m_usb_handle is NULL\n");
        return -1;
    }
    if (!claim()) return -1;
    const int rv = libusb_bulk_transfer(m_usb_handle, static_cast<unsigned char>(endpoint), data, static_cast<int>(len),
                                        &transferred, timeoutMs);
    if (rv < 0) std::printf("*** bulk_transfer failed! \n");
    libusb_release_interface(m_usb_handle, kInterface);
    return rv < 0 ? rv : 0;
}

int CDevByUsb::DevUsbWrite(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs)
{
    return bulk(m_outPoint, data, len, transferred, timeoutMs) == 0 ? 0 : -1;
}

int CDevByUsb::DevUsbRead(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs)
{
    return bulk(m_inPoint, data, len, transferred, timeoutMs);
}
