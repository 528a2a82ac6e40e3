// Machine number, type, ID, firmware and security code, through the exports.
#include <gtest/gtest.h>

#include <string>

#include "stampctl/frame/result_codes.h"
#include "stampctl/stampctl.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using stampctl::test::Bytes;

namespace {

constexpr unsigned char kMachineIdCode = 0x11;

class Identity : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    test::SimSession s;
};

TEST_F(Identity, MachineNumberIsCheckedWrittenAndCached)
{
    EXPECT_STREQ(getMachineNum(), "OV2026000117");
    EXPECT_EQ(s.seal().IsMachineNumOk("OV2026000117"), EC_OK);
    EXPECT_EQ(s.seal().IsMachineNumOk("OV2026000118"), EC_MACHINE_NUM_PARAM);
    EXPECT_EQ(s.seal().IsMachineNumOk(""), EC_PARAM_301);

    EXPECT_EQ(setMachineNum("OV2026000118X"), EC_PARAM_302);
    EXPECT_EQ(setMachineNum(nullptr), EC_PARAM_301);
    EXPECT_EQ(s.machine().machineNum(), "OV2026000117");

    EXPECT_EQ(setMachineNum("AB1234567890"), EC_OK);
    EXPECT_EQ(s.machine().machineNum(), "AB1234567890");
    s.machine().clearLog();
    EXPECT_EQ(s.seal().IsMachineNumOk("AB1234567890"), EC_OK);
    EXPECT_TRUE(s.frames().empty());  // answered from the cache
}

TEST_F(Identity, BackupBoardServesTheNumberButNotTheType)
{
    s.machine().setBoard(sim::Board::Backup);
    EXPECT_STREQ(getMachineNum(), "OV2026000117");
    EXPECT_STREQ(getMachineType(), "-@#-610");
    EXPECT_TRUE(s.traced("GetError:-@#-610"));
}

TEST_F(Identity, TypeIsCutAt16AndRefusedWhenLonger)
{
    EXPECT_STREQ(getMachineType(), "OVM260");
    s.machine().setMachineType("ABCDEFGHIJKLMNOPQRST");
    EXPECT_STREQ(getMachineType(), "ABCDEFGHIJKLMNOP");

    EXPECT_EQ(setMachineType("OVM310"), EC_OK);
    EXPECT_EQ(s.machine().machineType(), "OVM310");
    s.machine().clearLog();
    EXPECT_EQ(setMachineType("ABCDEFGHIJKLMNOPQ"), EC_PARAM);
    EXPECT_EQ(setMachineType(nullptr), EC_PARAM);
    EXPECT_TRUE(s.frames().empty());
}

TEST_F(Identity, MachineIdGoesAsTwentyBytesWithoutTerminator)
{
    EXPECT_STREQ(getMachineId(), "SN-OV260-2026-000117");
    s.machine().clearLog();
    EXPECT_EQ(setMachineId("123456789012345678901"), EC_FAIL);
    EXPECT_EQ(setMachineId(nullptr), EC_FAIL);
    EXPECT_TRUE(s.frames().empty());

    EXPECT_EQ(setMachineId("12345678901234567890"), EC_OK);
    const Bytes sent = s.frames().back();
    ASSERT_EQ(sent.size(), 4u + 23 + 1);
    EXPECT_EQ(std::string(sent.begin() + 7, sent.begin() + 27), "12345678901234567890");
    EXPECT_STREQ(getMachineId(), "12345678901234567890");
    EXPECT_TRUE(s.traced("设置序列号成功, ret:0"));

    s.machine().injectFault(sim::Fault::ReadTimeout, 1, sim::FaultTarget::Command);
    EXPECT_STREQ(getMachineId(), "");
}

TEST_F(Identity, FirmwareVersionAndMode)
{
    EXPECT_STREQ(getFirmwareVer(), "OVSTAMP V2.08 2025-11-20");
    s.machine().injectFault(sim::Fault::ShortPacket, 1, sim::FaultTarget::Command);
    EXPECT_STREQ(getFirmwareVer(), "");

    EXPECT_EQ(getFirmwareMode(), 2);
    EXPECT_EQ(setFirmwareMode(0x101), EC_OK);  // only the low byte travels
    EXPECT_EQ(s.machine().firmwareMode(), 1);
    EXPECT_EQ(getFirmwareMode(), 1);
    s.machine().setFirmwareMode(3);
    EXPECT_EQ(getFirmwareMode(), -1);
}

TEST_F(Identity, SecurityCodeIsSetOnlyWhileNoneIsStoredAndWithinLimits)
{
    EXPECT_EQ(setSecurityCode(nullptr), EC_PARAM_92);
    EXPECT_EQ(setSecurityCode("12345"), EC_PARAM_93);
    EXPECT_EQ(setSecurityCode(std::string(51, 'a').c_str()), EC_PARAM_93);
    EXPECT_EQ(s.seal().CheckSecurityCode("123456"), EC_OK);

    const std::string longest(50, 'z');
    EXPECT_EQ(setSecurityCode(longest.c_str()), EC_OK);
    EXPECT_EQ(s.machine().securityCode(), longest);

    EXPECT_EQ(setSecurityCode("another1"), EC_PARAM_94);
    EXPECT_EQ(s.machine().securityCode(), longest);

    EXPECT_EQ(delSecurityCode(), EC_OK);
    EXPECT_EQ(s.machine().securityCode(), "");
    EXPECT_EQ(setSecurityCode("another1"), EC_OK);
    EXPECT_EQ(connMachine("another1"), EC_OK);
}

}  // namespace
