// The simulated machine's firmware behind an emulated USB device, reached by the real libusb.
#pragma once

#include <gtest/gtest.h>

#include "stampctl/sim/sim_machine.h"
#include "tests/support/test_env.h"
#include "tests/usb/emulated_usb.h"

namespace stampctl::test {

// The firmware model answers the bulk endpoints byte for byte. A request it has nothing to say
// to (no reply, or an injected read time-out) leaves the host's read waiting until it gives up.
BulkEndpoints firmwareEndpoints(sim::SimMachine& machine);

// Entries of a directory: of /proc/self/fd the open descriptors (libusb contexts, handles and
// event sources all hold some), of /proc/self/task the threads.
int entriesOf(const char* dir);

// Each test starts with an empty bus and a default machine that is not plugged in yet.
class UsbPathTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Puts the machine on the bus as 0483:5750, and takes it off again (losing what it had not
    // sent yet, as a machine that loses its link does).
    void plugMachine(bool kernelDriverBound = false);
    void unplugMachine();
    // The request frames that reached the firmware, oldest first.
    std::vector<std::vector<unsigned char>> requests() const { return m_machine.receivedFrames(); }

    TempBaseDir m_base;
    sim::SimMachine m_machine;
    EmulatedUsbDevice m_usb;  // last: gone before the machine its endpoints call
};

}  // namespace stampctl::test
