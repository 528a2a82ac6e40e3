// The simulated machine's firmware behind an emulated USB device, reached by the real libusb.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "stampctl/sim/sim_machine.h"
#include "tests/support/test_env.h"
#include "tests/usb/emulated_usb.h"

namespace stampctl::test {

constexpr uint16_t kMachineProduct = 0x5750;

// Entries of a directory: of /proc/self/fd the open descriptors (libusb contexts, handles and
// event sources all hold some), of /proc/self/task the threads.
inline int entriesOf(const char* dir)
{
    using std::filesystem::directory_iterator;
    return static_cast<int>(std::distance(directory_iterator(dir), directory_iterator()));
}

// Each test starts with an empty bus and a default machine that is not plugged in yet.
class UsbPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!m_usb.usable()) GTEST_SKIP() << m_usb.unusableReason();
        // The controller must take the real transport, whatever the caller's environment says.
        ::unsetenv("STAMPCTL_SIMULATOR");
        // Real time passes on this path anyway; the firmware's worker-thread calls must not sleep.
        m_machine.setExchangeLatencyMs(0);
        m_machine.setPlugged(false);
        // The firmware model answers the bulk endpoints byte for byte. A request it has nothing
        // to say to (no reply, or an injected read time-out) leaves the host's read waiting until
        // it gives up: its own time-out runs out in libusb, as with a machine.
        m_usb.setEndpoints({[this](const unsigned char* data, size_t len) { return m_machine.hostWrite(data, len); },
                            [this](unsigned char* buf, size_t cap, int& transferred) {
                                const int result = m_machine.hostRead(buf, cap, transferred, 0);
                                return result == sim::kUsbErrorTimeout ? EmulatedUsbDevice::kNoReply : result;
                            }});
    }

    // Puts the machine on the bus as 0483:5750, and takes it off again (losing what it had not
    // sent yet, as a machine that loses its link does).
    void plugMachine(bool kernelDriverBound = false)
    {
        m_machine.setPlugged(true);
        m_usb.plug(kMachineProduct, kernelDriverBound);
    }
    void unplugMachine()
    {
        m_usb.unplug();
        m_machine.setPlugged(false);
    }
    // The request frames that reached the firmware, oldest first.
    std::vector<std::vector<unsigned char>> requests() const { return m_machine.receivedFrames(); }

    TempBaseDir m_base;
    sim::SimMachine m_machine;
    EmulatedUsbDevice m_usb;  // last: gone before the machine its endpoints call
};

}  // namespace stampctl::test
