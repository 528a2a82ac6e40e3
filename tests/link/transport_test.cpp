// The libusb transport on a computer with no machine attached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "stampctl/frame/result_codes.h"
#include "stampctl/link/dev_by_usb.h"
#include "stampctl/stampctl.h"
#include "tests/support/test_env.h"

namespace {

TEST(Transport, NoMachineAttached)
{
    ::unsetenv("STAMPCTL_SIMULATOR");
    stampctl::test::TempBaseDir base;

    CDevByUsb usb;
    usb.SetPoint(0x01, 0x82);
    for (int reopen = 0; reopen < 3; ++reopen) {  // each open gives back the one before
        testing::internal::CaptureStdout();
        EXPECT_EQ(usb.DevUsbOpen(0x5750, 0x0483), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "not find dev \n");
    }
    usb.DevUsbClose();
    usb.DevUsbClose();
    unsigned char frame[5] = {0xAA, 0x55, 0x01, 0x00, 0x00};
    int transferred = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(usb.DevUsbWrite(frame, sizeof frame, transferred, 1000), -1);
    EXPECT_EQ(usb.DevUsbRead(frame, sizeof frame, transferred, 1000), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "*** m_usb_handle is NULL\n*** m_usb_handle is NULL\n");

    EXPECT_EQ(connMachine("mt5934mt"), stampctl::EC_PORT_OPENFAIL);
    EXPECT_TRUE(stampctl::test::traced(base.path(),
                                       "<--_connMachine DevUsbOpen fail return:-1, -400"));
    EXPECT_EQ(isConnMachine(), 1);
}

}  // namespace
