#include "tests/usb/emulated_usb.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace stampctl::test {
namespace {

constexpr const char* kDevNode = "/dev/bus/usb/001/002";
constexpr const char* kSysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr unsigned kInterface = 0;
constexpr uint8_t kEndpointOut = 0x01;
constexpr uint8_t kEndpointIn = 0x82;
constexpr uint16_t kMaxPacket = 64;                     // full speed bulk
constexpr const char* kKernelDriver = "stampctl-test";  // anything but "usbfs" counts as bound

// Device descriptor, then the configuration with its one vendor-specific interface and the two
// bulk endpoints: what sysfs shows in "descriptors".
std::vector<uint8_t> descriptors(uint16_t productId)
{
    constexpr uint16_t kVendorId = 0x0483;
    const auto lo = [](uint16_t v) { return static_cast<uint8_t>(v & 0xff); };
    const auto hi = [](uint16_t v) { return static_cast<uint8_t>(v >> 8); };
    // clang-format off
    return {
        // device: USB 2.0, class per interface, ep0 64 bytes, ids, release 1.00, one config
        18, 1, 0x00, 0x02, 0, 0, 0, 64, lo(kVendorId), hi(kVendorId), lo(productId), hi(productId), 0x00, 0x01,
        0, 0, 0, 1,
        // configuration 1: 32 bytes in all, one interface, bus powered, 100 mA
        9, 2, 32, 0, 1, 1, 0, 0x80, 50,
        // interface 0: two endpoints, vendor specific
        9, 4, kInterface, 0, 2, 0xff, 0, 0, 0,
        7, 5, kEndpointOut, 2, lo(kMaxPacket), hi(kMaxPacket), 0,
        7, 5, kEndpointIn, 2, lo(kMaxPacket), hi(kMaxPacket), 0,
    };
    // clang-format on
}

// The udev database entry of the device: sysfs attributes (A:, H: binary) and properties (E:).
std::string deviceRecord(uint16_t productId)
{
    std::string hex;
    for (uint8_t b : descriptors(productId)) hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    char record[1024];
    std::snprintf(record, sizeof record,
                  "P: %s\nN: %s\n"
                  "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: DEVNAME=%s\n"
                  "E: BUSNUM=001\nE: DEVNUM=002\nE: PRODUCT=483/%x/100\n"
                  "A: busnum=1\\n\nA: devnum=2\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\n"
                  "A: idVendor=0483\\n\nA: idProduct=%04x\\n\nH: descriptors=%s\n",
                  kSysPath + std::strlen("/sys"), kDevNode + std::strlen("/dev/"), kDevNode, productId, productId,
                  hex.c_str());
    return record;
}

// The memory an ioctl argument points to, copied from the host (and written back to it when
// the ioctl completes). Owned by the caller.
UMockdevIoctlData* resolve(UMockdevIoctlData* data, size_t offset, size_t len)
{
    return umockdev_ioctl_data_resolve(data, offset, len, nullptr);
}

void check(bool ok, GError* error)
{
    if (ok) return;
    const std::string why = error ? error->message : "umockdev testbed call failed";
    if (error) g_error_free(error);
    throw std::runtime_error("emulated usb: " + why);
}

usbdevfs_urb* urbOf(UMockdevIoctlData* data) { return reinterpret_cast<usbdevfs_urb*>(data->data); }

}  // namespace

EmulatedUsbDevice::EmulatedUsbDevice()
{
    // The testbed comes first: only then does umockdev know whether its preload is in place.
    m_testbed = umockdev_testbed_new();
    if (!umockdev_in_mock_environment()) {
        m_unusable =
            "the emulated USB device needs umockdev's preload from process start "
            "(LD_PRELOAD=libumockdev-preload.so.0 or umockdev-wrapper; ctest sets it)";
        return;
    }
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(onIoctl), this);
}

EmulatedUsbDevice::~EmulatedUsbDevice()
{
    unplug();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (auto* queue : {&m_waiting, &m_done}) {
            for (Urb& urb : *queue) drop(urb);
            queue->clear();
        }
    }
    if (m_handler) g_object_unref(m_handler);
    g_object_unref(m_testbed);  // removes the testbed's directory
}

void EmulatedUsbDevice::setEndpoints(BulkEndpoints endpoints)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_endpoints = std::move(endpoints);
}

void EmulatedUsbDevice::plug(uint16_t productId, bool kernelDriverBound)
{
    if (!usable()) throw std::logic_error(m_unusable);
    unplug();
    if (!m_attached) {
        // Before the node exists, so that no open can reach a device without its handler.
        GError* error = nullptr;
        check(umockdev_testbed_attach_ioctl(m_testbed, kDevNode, m_handler, &error), error);
        m_attached = true;
    }
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_present = true;
    }
    m_driverBound = kernelDriverBound;
    m_detaches = m_claims = m_releases = 0;
    GError* error = nullptr;
    check(umockdev_testbed_add_from_string(m_testbed, deviceRecord(productId).c_str(), &error), error);
    m_sysPath = kSysPath;
}

void EmulatedUsbDevice::unplug()
{
    if (m_sysPath.empty()) return;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_present = false;
        // The kernel cannot fail the device file itself here: failing what is in flight and
        // refusing the rest gives the host the same results.
        failWaiting(-ESHUTDOWN);
    }
    m_changed.notify_all();
    umockdev_testbed_uevent(m_testbed, m_sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, m_sysPath.c_str());
    m_sysPath.clear();
}

bool EmulatedUsbDevice::waitForStalledTransfer(int timeoutMs)
{
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return !m_waiting.empty(); });
}

// ---- the usbdevfs side, on umockdev's worker thread ----------------------------------------

int EmulatedUsbDevice::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    static_cast<EmulatedUsbDevice*>(self)->handle(client);
    return TRUE;
}

void EmulatedUsbDevice::handle(UMockdevIoctlClient* client)
{
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    int error = 0;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        const bool reaping = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        // Transfers that died with the device are still handed back to the host.
        if (!m_present && !reaping) {
            error = ENODEV;
        } else {
            switch (request) {
            case USBDEVFS_GET_CAPABILITIES: {
                UMockdevIoctlData* caps = resolve(arg, 0, sizeof(uint32_t));
                *reinterpret_cast<uint32_t*>(caps->data) = USBDEVFS_CAP_BULK_CONTINUATION |
                                                           USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET |
                                                           USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
                g_object_unref(caps);
                break;
            }
            case USBDEVFS_GETDRIVER: error = getDriver(arg); break;
            case USBDEVFS_IOCTL: error = driverIoctl(arg); break;
            case USBDEVFS_CLAIMINTERFACE: error = claim(arg); break;
            case USBDEVFS_RELEASEINTERFACE: ++m_releases; break;
            case USBDEVFS_SUBMITURB: error = submit(client, arg); break;
            case USBDEVFS_REAPURB:
            case USBDEVFS_REAPURBNDELAY: error = reap(client, arg); break;
            case USBDEVFS_DISCARDURB: error = discard(client, arg); break;
            default: std::fprintf(stderr, "emulated usb: ioctl 0x%lx not emulated\n", request); error = ENOTTY;
            }
        }
    }
    m_changed.notify_all();
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
}

int EmulatedUsbDevice::getDriver(UMockdevIoctlData* arg)
{
    if (!m_driverBound) return ENODATA;
    UMockdevIoctlData* data = resolve(arg, 0, sizeof(usbdevfs_getdriver));
    auto* query = reinterpret_cast<usbdevfs_getdriver*>(data->data);
    const int error = query->interface == kInterface ? 0 : ENODATA;
    if (!error) std::snprintf(query->driver, sizeof query->driver, "%s", kKernelDriver);
    g_object_unref(data);
    return error;
}

// libusb detaches a kernel driver with USBDEVFS_DISCONNECT wrapped in USBDEVFS_IOCTL.
int EmulatedUsbDevice::driverIoctl(UMockdevIoctlData* arg)
{
    UMockdevIoctlData* data = resolve(arg, 0, sizeof(usbdevfs_ioctl));
    const auto* command = reinterpret_cast<const usbdevfs_ioctl*>(data->data);
    int error = ENOTTY;
    if (command->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        error = command->ifno == static_cast<int>(kInterface) && m_driverBound ? 0 : ENODATA;
        if (!error) {
            m_driverBound = false;
            ++m_detaches;
        }
    }
    g_object_unref(data);
    return error;
}

int EmulatedUsbDevice::claim(UMockdevIoctlData* arg)
{
    UMockdevIoctlData* data = resolve(arg, 0, sizeof(unsigned int));
    const unsigned int interface = *reinterpret_cast<const unsigned int*>(data->data);
    g_object_unref(data);
    if (interface != kInterface) return ENOENT;
    if (m_driverBound) return EBUSY;  // what the kernel says while its driver holds it
    ++m_claims;
    return 0;
}

int EmulatedUsbDevice::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    forgetVanishedClients();
    UMockdevIoctlData* urbData = resolve(arg, 0, sizeof(usbdevfs_urb));
    usbdevfs_urb* urb = urbOf(urbData);
    const bool bulk =
        urb->type == USBDEVFS_URB_TYPE_BULK && (urb->endpoint == kEndpointOut || urb->endpoint == kEndpointIn);
    if (!bulk) {
        // No control requests are emulated: libusb's open, claim and bulk path need none.
        g_object_unref(urbData);
        return EINVAL;
    }
    UMockdevIoctlData* buffer = urb->buffer_length > 0 ? resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                                 static_cast<size_t>(urb->buffer_length))
                                                       : nullptr;
    Urb pending{static_cast<UMockdevIoctlClient*>(g_object_ref(client)), urbData, buffer};
    const size_t len = static_cast<size_t>(urb->buffer_length);

    int result = kNoReply;
    int transferred = 0;
    if (urb->endpoint == kEndpointOut) {
        if (m_endpoints.out) result = m_endpoints.out(buffer ? buffer->data : nullptr, len);
        transferred = static_cast<int>(len);
    } else if (m_endpoints.in && buffer) {
        result = m_endpoints.in(buffer->data, len, transferred);
    }
    if (result == kNoReply)
        m_waiting.push_back(pending);
    else
        finish(pending, result == 0 ? 0 : -EPROTO, result == 0 ? transferred : 0);  // any failure an I/O error
    return 0;
}

int EmulatedUsbDevice::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    for (auto it = m_done.begin(); it != m_done.end(); ++it) {
        if (it->client != client) continue;
        Urb done = *it;
        m_done.erase(it);
        // Pointing the host's argument at its URB writes the URB and its buffer back.
        UMockdevIoctlData* target = resolve(arg, 0, sizeof(void*));
        umockdev_ioctl_data_set_ptr(target, 0, done.urb);
        g_object_unref(target);
        drop(done);
        return 0;
    }
    return m_present ? EAGAIN : ENODEV;
}

// libusb gives up on a transfer at its time-out; the kernel then hands it back as cancelled.
int EmulatedUsbDevice::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    const unsigned long address = *reinterpret_cast<const unsigned long*>(arg->data);
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (it->client != client || it->urb->client_addr != address) continue;
        Urb cancelled = *it;
        m_waiting.erase(it);
        finish(cancelled, -ENOENT, 0);
        return 0;
    }
    return EINVAL;
}

void EmulatedUsbDevice::finish(Urb urb, int status, int actual)
{
    usbdevfs_urb* raw = urbOf(urb.urb);
    raw->status = status;
    raw->actual_length = actual;
    m_done.push_back(urb);
}

void EmulatedUsbDevice::failWaiting(int status)
{
    for (const Urb& urb : m_waiting) finish(urb, status, 0);
    m_waiting.clear();
}

// A handle closed with transfers still queued leaves them to nobody.
void EmulatedUsbDevice::forgetVanishedClients()
{
    for (auto* queue : {&m_waiting, &m_done}) {
        for (auto it = queue->begin(); it != queue->end();) {
            if (umockdev_ioctl_client_get_connected(it->client))
                ++it;
            else
                drop(*it), it = queue->erase(it);
        }
    }
}

void EmulatedUsbDevice::drop(Urb& urb)
{
    g_object_unref(urb.urb);
    if (urb.buffer) g_object_unref(urb.buffer);
    g_object_unref(urb.client);
}

}  // namespace stampctl::test
