// What the machine keeps, through the exports: its identity, its seals and their information
// and binding, the alarm log and the abnormal-opening records.

#include <algorithm>
#include <cstring>
#include <thread>

#include "stampctl/machine/texts.h"
#include "stampctl/sim/handling.h"
#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

using Identity = test::Connected;
using Seals = Identity;
using Logs = Identity;

TEST_F(Identity, MachineNumberIsCheckedWrittenAndCached)
{
    EXPECT_STREQ(getMachineNum(), "OV2026000117");
    EXPECT_EQ(setMachineNum(""), EC_MACHINE_NUM_MISSING);
    EXPECT_EQ(setMachineNum("OV2026000118X"), EC_MACHINE_NUM_TOO_LONG);
    EXPECT_EQ(s.machine().machineNum(), "OV2026000117");

    EXPECT_EQ(setMachineNum("AB1234567890"), EC_OK);
    EXPECT_EQ(s.machine().machineNum(), "AB1234567890");
    s.machine().clearLog();
    EXPECT_STREQ(querySloatInfo("AB1234567890"), "1:1;2:1;3:1;4:1;5:1;6:1");
    EXPECT_EQ(s.commandsWithCode(0x01), 0u);  // the number checked against the cache
}

TEST_F(Identity, TypeIsCutAt16AndRefusedWhenLongerOrOnTheBackupBoard)
{
    EXPECT_STREQ(getMachineType(), "OVM260");
    s.machine().setMachineType("ABCDEFGHIJKLMNOPQRST");
    EXPECT_STREQ(getMachineType(), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(setMachineType("OVM310"), EC_OK);
    EXPECT_EQ(s.machine().machineType(), "OVM310");
    s.machine().clearLog();
    EXPECT_EQ(setMachineType("ABCDEFGHIJKLMNOPQ"), EC_BAD_PARAMETER);
    EXPECT_TRUE(s.frames().empty());

    s.machine().setBoard(sim::Board::Backup);  // the number is served, the type is not
    EXPECT_STREQ(getMachineNum(), "OV2026000117");
    EXPECT_STREQ(getMachineType(), "-@#-610");
}

TEST_F(Identity, MachineIdFirmwareVersionModeAndSecurityCode)
{
    EXPECT_STREQ(getMachineId(), "SN-OV260-2026-000117");
    s.machine().clearLog();
    EXPECT_EQ(setMachineId("123456789012345678901"), EC_FAIL);
    EXPECT_TRUE(s.frames().empty());

    EXPECT_EQ(setMachineId("12345678901234567890"), EC_OK);
    const test::Bytes sent = s.frames().back();
    ASSERT_EQ(sent.size(), 4u + 23 + 1);
    EXPECT_EQ(std::string(sent.begin() + 7, sent.begin() + 27), "12345678901234567890");
    EXPECT_STREQ(getMachineId(), "12345678901234567890");
    s.inject(sim::Fault::ReadTimeout);
    EXPECT_STREQ(getMachineId(), "");

    EXPECT_STREQ(getFirmwareVer(), "OVSTAMP V2.08 2025-11-20");

    EXPECT_EQ(getFirmwareMode(), 2);
    EXPECT_EQ(setFirmwareMode(0x101), EC_OK);  // only the low byte travels
    EXPECT_EQ(s.machine().firmwareMode(), 1);
    EXPECT_EQ(getFirmwareMode(), 1);
    s.machine().setFirmwareMode(3);
    EXPECT_EQ(getFirmwareMode(), -1);

    // The security code is set only while none is stored, and within its limits.
    EXPECT_EQ(setSecurityCode("12345"), EC_SECURITY_CODE_LENGTH);
    EXPECT_EQ(setSecurityCode(std::string(51, 'a').c_str()), EC_SECURITY_CODE_LENGTH);

    const std::string longest(50, 'z');
    EXPECT_EQ(setSecurityCode(longest.c_str()), EC_OK);
    EXPECT_EQ(setSecurityCode("another1"), EC_SECURITY_CODE_ALREADY_SET);
    EXPECT_EQ(s.machine().securityCode(), longest);
    EXPECT_EQ(delSecurityCode(), EC_OK);
    EXPECT_EQ(s.machine().securityCode(), "");
    EXPECT_EQ(setSecurityCode("123456"), EC_OK);  // the shortest
    EXPECT_EQ(connMachine("123456"), EC_OK);
}

constexpr unsigned char kSealBlockCode = 0x13;
const char* const kMachineNum = "OV2026000117";  // the simulated machine's number

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

// The list behind the text keeps all six slots: the binding check reads it by slot.
TEST_F(Seals, RfidTextAndSealInformation)
{
    for (int n = 1; n <= 6; ++n) s.machine().setSlot(n, false);
    s.machine().setSlot(1, true, {0x0A, 0x1B, 0x2C, 0x3D});
    s.machine().setSlot(3, true, {0x44, 0x55, 0x66, 0x77});
    EXPECT_STREQ(getRFID(), "0A1B2C3D_1#44556677_3");
    s.inject(sim::Fault::Refusal);
    EXPECT_STREQ(getRFID(), "");

    // Seal information of up to 90 bytes is stored and read back.
    EXPECT_EQ(initStamp(kMachineNum, ""), EC_SEAL_INFO_MISSING);
    EXPECT_EQ(initStamp(kMachineNum, std::string(91, 'a').c_str()), EC_SEAL_INFO_TOO_LONG);
    EXPECT_EQ(initStamp("wrong", "1#A"), EC_MACHINE_NUM_MISMATCH);
    EXPECT_EQ(s.commandsWithCode(kSealBlockCode), 0u);

    const std::string head = "1#公章0001;2#合同章0002;";
    const std::string text = head + std::string(90 - head.size(), 'x');
    EXPECT_EQ(initStamp(kMachineNum, text.c_str()), EC_OK);
    EXPECT_EQ(s.machine().sealInfo().size(), 90u);  // the whole block, zero-filled behind a shorter text
    EXPECT_STREQ(querySealInfo(kMachineNum), text.c_str());
    EXPECT_EQ(initStamp(kMachineNum, "3#C"), EC_OK);
    EXPECT_STREQ(querySealInfo(kMachineNum), "3#C");
}

TEST_F(Seals, BoundSealsMayStampOnlyFromTheirOwnSlotUntilUnbound)
{
    s.writeFile("ywb.ini", "[OV_STAMP]\ncheckBing=yes\n");
    ASSERT_EQ(s.connect(), EC_OK);
    const auto calibrated = s.machine().bindInfo();
    ASSERT_EQ(BindRFIDAndSlot(1), EC_OK);
    EXPECT_EQ(s.machine().bindInfo()[24], 1);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.seal().IsSlotRFIDOk(i), EC_OK) << i;

    // The seal of slot 2 moved to slot 4: refused, and the message names its own slot.
    sim::moveSeal(s.machine(), 2, 4);
    EXPECT_EQ(s.seal().IsSlotRFIDOk(3), EC_BIND_MISMATCH);
    const char* mine = geterrMsg(EC_BIND_MISMATCH);
    EXPECT_STREQ(mine, "该印章已绑定到2号槽位, 不允许盖章");
    // Another thread's refusal of a seal the machine has never bound: that thread reads its own
    // message, and the text this thread holds stays as it was.
    s.machine().setSlot(1, true, {0xDE, 0xAD, 0xBE, 0xEF});
    std::thread([&] {
        EXPECT_EQ(s.seal().IsSlotRFIDOk(0), EC_BIND_MISMATCH);
        EXPECT_STREQ(geterrMsg(EC_BIND_MISMATCH), "该印章未绑定, 不允许盖章");
    }).join();
    EXPECT_STREQ(mine, "该印章已绑定到2号槽位, 不允许盖章");
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

constexpr unsigned char kAlarmEntryCode = 0x26;

TEST_F(Logs, AlarmLogEntriesAreJoinedAndCleared)
{
    EXPECT_STREQ(inqAlarmLog(), "");
    for (const char* alarm : {"A", "B", "C"}) sim::raiseAlarm(s.machine(), alarm);
    EXPECT_STREQ(inqAlarmLog(), "A;B;C");
    EXPECT_EQ(delAlarmLog(), EC_OK);
    EXPECT_STREQ(inqAlarmLog(), "");

    // A failing entry gives the failure text, not the part read so far.
    s.machine().setAlarmLog({"A", "B", "C"});
    s.injectAt(kAlarmEntryCode, 1, sim::Fault::WriteFailure);
    EXPECT_STREQ(inqAlarmLog(), "-@#-100");
    s.machine().setBoard(sim::Board::Backup);
    EXPECT_STREQ(inqAlarmLog(), "-@#-610");
    EXPECT_EQ(delAlarmLog(), EC_NEED_MAIN_BOARD);
}

TEST_F(Logs, FullAlarmLogAndAbnormalRecords)
{
    // 255 entries of 55 bytes: more than three times what the text can hold.
    std::vector<std::string> entries;
    std::string expected;
    for (int i = 0; i < 255; ++i) {
        const std::string e = std::to_string(i) + ":";
        entries.push_back(e + std::string(55 - e.size(), 'a' + i % 26));
        if (i < 4096 / 56) expected += (i ? ";" : "") + entries.back();  // 73 entries fit, a 74th does not
    }
    s.machine().setAlarmLog(entries);
    EXPECT_EQ(inqAlarmLog(), expected);
    // Nothing more is asked of the machine once the text is full.
    EXPECT_EQ(s.commandsWithCode(kAlarmEntryCode), 4096u / 56 + 1);

    // At most ten abnormal-opening records are read, and only while asked.
    std::vector<std::string> records;
    for (int i = 1; i <= 12; ++i) records.push_back("r" + std::to_string(i));
    s.machine().setAbnormalRecords(records);
    EXPECT_STREQ(readOpenBackDoorExceptionInfo(), "r1;r2;r3;r4;r5;r6;r7;r8;r9;r10");
    EXPECT_EQ(s.commandsWithCode(0x07), 11u);  // the count, then ten records

    s.machine().setBoard(sim::Board::Backup);  // served by the backup board too
    EXPECT_EQ(delOpenBackDoorExceptionInfo(), EC_OK);
    EXPECT_TRUE(s.machine().abnormalRecords().empty());
}

TEST(JoinedText, WholeOrNotAtAll)
{
    // 1023 bytes fit the 1024-byte buffer, 1024 do not and leave it alone.
    char buf[1024];
    std::strcpy(buf, "before");
    EXPECT_TRUE(joinWhole({std::string(511, 'a'), std::string(511, 'b')}, ';', buf, sizeof buf));
    EXPECT_EQ(std::strlen(buf), 1023u);
    std::strcpy(buf, "before");
    EXPECT_FALSE(joinWhole({std::string(512, 'a'), std::string(511, 'b')}, ';', buf, sizeof buf));
    EXPECT_STREQ(buf, "before");

    // An entry that fills the buffer to its last byte is kept; one byte more is not.
    char log[6] = "AB";
    EXPECT_TRUE(appendEntry(log, sizeof log, "CDE", 2, ';'));
    EXPECT_STREQ(log, "AB;CD");
    EXPECT_FALSE(appendEntry(log, sizeof log, "E", 1, ';'));
    EXPECT_STREQ(log, "AB;CD");
}

}  // namespace
