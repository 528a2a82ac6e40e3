#include "tests/usb/usb_fixture.h"

#include <cstdlib>
#include <filesystem>

namespace stampctl::test {

BulkEndpoints firmwareEndpoints(sim::SimMachine& machine)
{
    BulkEndpoints endpoints;
    endpoints.out = [&machine](const unsigned char* data, size_t len) { return machine.hostWrite(data, len); };
    // No waiting on this side: the host's own time-out runs out in libusb, as with a machine.
    endpoints.in = [&machine](unsigned char* buf, size_t cap, int& transferred) {
        const int result = machine.hostRead(buf, cap, transferred, 0);
        return result == sim::kUsbErrorTimeout ? EmulatedUsbDevice::kNoReply : result;
    };
    return endpoints;
}

int entriesOf(const char* dir)
{
    using std::filesystem::directory_iterator;
    return static_cast<int>(std::distance(directory_iterator(dir), directory_iterator()));
}

void UsbPathTest::SetUp()
{
    if (!m_usb.usable()) GTEST_SKIP() << m_usb.unusableReason();
    // The controller must take the real transport, whatever the caller's environment says.
    ::unsetenv("STAMPCTL_SIMULATOR");
    // Real time passes on this path anyway; the firmware's worker-thread calls must not sleep.
    m_machine.setExchangeLatencyMs(0);
    m_machine.setPlugged(false);
    m_usb.setEndpoints(firmwareEndpoints(m_machine));
}

void UsbPathTest::plugMachine(bool kernelDriverBound)
{
    m_machine.setPlugged(true);
    m_usb.plug(UsbIdentity{}, kernelDriverBound);
}

void UsbPathTest::unplugMachine()
{
    m_usb.unplug();
    m_machine.setPlugged(false);
}

}  // namespace stampctl::test
