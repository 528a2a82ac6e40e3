// An emulated USB device for the unmodified system libusb: umockdev stands in for usbdevfs, and
// the device's two bulk endpoints are answered live by callbacks. The process must run under
// umockdev's preload (LD_PRELOAD=libumockdev-preload.so.0, or umockdev-wrapper) from its start.
//
// One device at a time, at bus 1 address 2, full speed, interface 0 with bulk OUT 0x01 and bulk
// IN 0x82. The bus can stay empty, the device can carry any identifiers, a kernel driver can
// hold its interface 0, and it can vanish while the host waits for a reply.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace stampctl::test {

// The device's side of the bulk endpoints. Both run on umockdev's worker thread, one at a time,
// and must not block. Results are 0, or a negative libusb code: the host's transfer then ends
// as an I/O error.
struct BulkEndpoints {
    // One OUT transfer as the host sent it.
    std::function<int(const unsigned char* data, size_t len)> out;
    // One IN transfer of at most `cap` bytes: fill `buf`, set `transferred`, return 0.
    // From either, kNoReply leaves the host waiting until its own time-out gives up on the
    // transfer: the device neither took the data nor has anything to say.
    std::function<int(unsigned char* buf, size_t cap, int& transferred)> in;
};

class EmulatedUsbDevice {
public:
    static constexpr int kNoReply = -7;  // LIBUSB_ERROR_TIMEOUT

    // Sets up an empty bus. Check usable() before anything else.
    EmulatedUsbDevice();
    ~EmulatedUsbDevice();
    EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
    EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

    // Empty when usbdevfs is emulated in this process; otherwise why not (a skip message).
    const std::string& unusableReason() const { return m_unusable; }
    bool usable() const { return m_unusable.empty(); }

    void setEndpoints(BulkEndpoints endpoints);
    // Puts the device on the bus as 0483:<productId>. With `kernelDriverBound`, a kernel driver
    // holds interface 0 (claims fail as busy) until the host detaches it.
    void plug(uint16_t productId, bool kernelDriverBound = false);
    // Takes it off again: transfers in flight fail as on a real disconnect, every later request
    // on an open handle finds no device, and the bus no longer lists it. Harmless when unplugged.
    void unplug();

    // A kernel driver takes interface 0 (again) while the device is plugged.
    void bindKernelDriver() { m_driverBound = true; }

    // Blocks until a transfer of the host is left waiting by the device, or `timeoutMs` passed.
    bool waitForStalledTransfer(int timeoutMs);

    // What the host did to the device since it was plugged.
    bool kernelDriverBound() const { return m_driverBound; }
    int driverDetaches() const { return m_detaches; }
    int claims() const { return m_claims; }
    int releases() const { return m_releases; }

private:
    struct Urb {
        UMockdevIoctlClient* client;
        UMockdevIoctlData* urb;     // the host's usbdevfs_urb
        UMockdevIoctlData* buffer;  // its data buffer (null for zero length)
    };

    static int onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self);
    void handle(UMockdevIoctlClient* client);
    int submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int getDriver(UMockdevIoctlData* arg);
    int driverIoctl(UMockdevIoctlData* arg);
    int claim(UMockdevIoctlData* arg);
    void finish(Urb urb, int status, int actual);
    void failWaiting(int status);
    void forgetVanishedClients();
    static void drop(Urb& urb);

    std::string m_unusable;
    UMockdevTestbed* m_testbed = nullptr;
    UMockdevIoctlBase* m_handler = nullptr;
    std::string m_sysPath;    // set while plugged
    bool m_attached = false;  // the handler serves the device node (stays so across unplugs)

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    BulkEndpoints m_endpoints;
    bool m_present = false;  // false: every request on an open handle finds no device
    std::atomic<bool> m_driverBound{false};
    std::atomic<int> m_detaches{0}, m_claims{0}, m_releases{0};
    std::deque<Urb> m_waiting;  // transfers the device has not answered (yet)
    std::deque<Urb> m_done;     // completed, waiting for the host to reap them
};

}  // namespace stampctl::test
