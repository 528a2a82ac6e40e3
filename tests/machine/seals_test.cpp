// Slots, seal information and RFID binding against the simulated machine, with seals moved
// and replaced between calls as a service engineer would.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "stampctl/frame/result_codes.h"
#include "stampctl/sim/handling.h"
#include "stampctl/stampctl.h"
#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

constexpr unsigned char kSealBlockCode = 0x13;
const char* const kMachineNum = "OV2026000117";  // the simulated machine's number

class Seals : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    // Binding checks only run when the configuration asks for them.
    void checkBinding()
    {
        s.writeFile("ywb.ini", "[OV_STAMP]\ncheckBing=yes\n");
        ASSERT_EQ(s.connect(), EC_OK);
    }
    test::SimSession s;
};

TEST_F(Seals, SlotTextAndTheChecksBeforeIt)
{
    for (int n = 1; n <= 6; ++n) s.machine().setSlot(n, (0x25 >> (n - 1)) & 1);
    EXPECT_STREQ(querySloatInfo(kMachineNum), "1:1;2:0;3:1;4:0;5:0;6:1");

    s.machine().clearLog();
    EXPECT_STREQ(querySloatInfo("OV2026000118"), "-@#-300");
    EXPECT_EQ(s.commandsWithCode(0x0F), 0u);

    s.machine().setBoard(sim::Board::Backup);
    EXPECT_STREQ(querySloatInfo(kMachineNum), "-@#-610");
}

TEST_F(Seals, RfidTextNamesOccupiedSlotsButTheListKeepsAllSix)
{
    for (int n = 1; n <= 6; ++n) s.machine().setSlot(n, false);
    s.machine().setSlot(1, true, {0x0A, 0x1B, 0x2C, 0x3D});
    s.machine().setSlot(3, true, {0x44, 0x55, 0x66, 0x77});
    EXPECT_STREQ(getRFID(), "0A1B2C3D_1#44556677_3");
    ASSERT_EQ(s.seal().rfidList().size(), 6u);
    EXPECT_EQ(s.seal().rfidList()[2], "44556677");
    EXPECT_EQ(s.seal().rfidList()[1], "00000000");

    s.machine().injectFault(sim::Fault::Refusal, 1, sim::FaultTarget::Command);
    EXPECT_STREQ(getRFID(), "");
    EXPECT_TRUE(s.seal().rfidList().empty());
}

TEST_F(Seals, SealInformationOfUpTo90BytesIsStoredAndReadBack)
{
    EXPECT_EQ(initStamp(kMachineNum, ""), EC_PARAM_305);
    EXPECT_EQ(initStamp(kMachineNum, std::string(91, 'a').c_str()), EC_PARAM_303);
    EXPECT_EQ(initStamp("wrong", "1#A"), EC_MACHINE_NUM_PARAM);
    EXPECT_EQ(s.commandsWithCode(kSealBlockCode), 0u);

    const std::string head = "1#公章0001;2#合同章0002;";
    const std::string text = head + std::string(90 - head.size(), 'x');
    EXPECT_EQ(initStamp(kMachineNum, text.c_str()), EC_OK);
    const std::vector<uint8_t> block = s.machine().sealInfo();
    EXPECT_EQ(block.size(), 90u);  // the whole block, zero-filled behind a shorter text
    EXPECT_STREQ(querySealInfo(kMachineNum), text.c_str());

    EXPECT_EQ(initStamp(kMachineNum, "3#C"), EC_OK);
    EXPECT_STREQ(querySealInfo(kMachineNum), "3#C");
}

TEST_F(Seals, BoundSealsMayStampOnlyFromTheirOwnSlotUntilUnbound)
{
    checkBinding();
    const auto calibrated = s.machine().bindInfo();
    ASSERT_EQ(BindRFIDAndSlot(1), EC_OK);
    EXPECT_EQ(s.machine().bindInfo()[24], 1);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.seal().IsSlotRFIDOk(i), EC_OK) << i;

    // The seal of slot 2 moved to slot 4: refused, and the message names its own slot.
    sim::moveSeal(s.machine(), 2, 4);
    EXPECT_EQ(s.seal().IsSlotRFIDOk(3), EC_BIND_MISMATCH);
    EXPECT_STREQ(geterrMsg(EC_BIND_MISMATCH), "该印章已绑定到2号槽位, 不允许盖章");

    // A seal the machine has never bound.
    s.machine().setSlot(1, true, {0xDE, 0xAD, 0xBE, 0xEF});
    EXPECT_EQ(s.seal().IsSlotRFIDOk(0), EC_BIND_MISMATCH);
    EXPECT_STREQ(geterrMsg(EC_BIND_MISMATCH), "该印章未绑定, 不允许盖章");
    EXPECT_TRUE(s.traced("CSeal::IsSlotRFIDOk 当前RFID序列:, DEADBEEF, 00000000, 3A7C13E3, "
                         "3A7C12E2, 3A7C15E5, 3A7C16E6"));

    // A seal number out of range is not the binding's business and reads nothing out of range.
    EXPECT_EQ(s.seal().IsSlotRFIDOk(-1), EC_OK);
    EXPECT_EQ(s.seal().IsSlotRFIDOk(6), EC_OK);

    // Unbinding keeps the tags recorded at calibration and lets every slot stamp again.
    ASSERT_EQ(BindRFIDAndSlot(0), EC_OK);
    const auto after = s.machine().bindInfo();
    EXPECT_TRUE(std::equal(calibrated.begin(), calibrated.begin() + 24, after.begin()));
    EXPECT_TRUE(std::all_of(after.begin() + 24, after.end(), [](uint8_t b) { return b == 0; }));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.seal().IsSlotRFIDOk(i), EC_OK) << i;
}

TEST_F(Seals, NoBindingCheckMeansNoRfidRead)
{
    ASSERT_EQ(BindRFIDAndSlot(1), EC_OK);  // bound, but checkBing is "no"
    sim::moveSeal(s.machine(), 2, 4);
    s.machine().clearLog();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.seal().IsSlotRFIDOk(i), EC_OK);
    EXPECT_TRUE(s.frames().empty());
}

}  // namespace
