// Built in place of the USB path's tests when umockdev is not installed.
#include <gtest/gtest.h>

TEST(UsbPath, NeedsUmockdev)
{
    GTEST_SKIP() << "umockdev is not installed (libumockdev-dev, umockdev): the tests of the real "
                    "USB path against the emulated machine cannot run; scripts/setup.sh installs it";
}
