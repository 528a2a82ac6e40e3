// The alarm log and the abnormal-opening records: read, joined, bounded and cleared.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stampctl/frame/result_codes.h"
#include "stampctl/machine/texts.h"
#include "stampctl/sim/handling.h"
#include "stampctl/stampctl.h"
#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

constexpr unsigned char kAlarmEntryCode = 0x26;
constexpr unsigned char kRecordReadCode = 0x07;

class Logs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    test::SimSession s;
};

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = text.find(sep, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

TEST_F(Logs, AlarmLogEntriesAreJoinedAndCleared)
{
    EXPECT_STREQ(inqAlarmLog(), "");
    sim::raiseAlarm(s.machine(), "A");
    sim::raiseAlarm(s.machine(), "B");
    sim::raiseAlarm(s.machine(), "C");
    EXPECT_STREQ(inqAlarmLog(), "A;B;C");
    EXPECT_EQ(delAlarmLog(), EC_OK);
    EXPECT_STREQ(inqAlarmLog(), "");
}

TEST_F(Logs, FailingEntryGivesTheFailureTextNotThePartialLog)
{
    s.machine().setAlarmLog({"A", "B", "C"});
    sim::FaultSpec spec;
    spec.fault = sim::Fault::WriteFailure;
    spec.commandCode = kAlarmEntryCode;
    spec.skip = 1;
    s.machine().injectFault(spec);
    EXPECT_STREQ(inqAlarmLog(), "-@#-100");
    s.machine().setBoard(sim::Board::Backup);
    EXPECT_STREQ(inqAlarmLog(), "-@#-610");
    EXPECT_EQ(delAlarmLog(), EC_NEED_MAIN_BOARD);
}

TEST_F(Logs, FullAlarmLogIsCutAtTheLastWholeEntry)
{
    // 255 entries of 55 bytes: more than three times what the text can hold.
    std::vector<std::string> entries;
    for (int i = 0; i < 255; ++i) {
        std::string e = std::to_string(i) + ":";
        entries.push_back(e + std::string(55 - e.size(), 'a' + i % 26));
    }
    s.machine().setAlarmLog(entries);
    const std::string text = inqAlarmLog();
    EXPECT_LE(text.size(), 4095u);
    const std::vector<std::string> got = split(text, ';');
    ASSERT_EQ(got.size(), 4096u / 56);  // 73 entries and their separators fit, a 74th does not
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], entries[i]);
    // Nothing more is asked of the machine once the text is full.
    EXPECT_EQ(s.commandsWithCode(kAlarmEntryCode), got.size() + 1);
}

TEST_F(Logs, AtMostTenRecordsAreReadAndOnlyWhileAsked)
{
    std::vector<std::string> records;
    for (int i = 1; i <= 12; ++i) records.push_back("r" + std::to_string(i));
    s.machine().setAbnormalRecords(records);
    EXPECT_STREQ(readOpenBackDoorExceptionInfo(), "r1;r2;r3;r4;r5;r6;r7;r8;r9;r10");
    EXPECT_EQ(s.commandsWithCode(kRecordReadCode), 11u);  // the count, then ten records

    s.machine().setBoard(sim::Board::Backup);  // served by the backup board too
    EXPECT_EQ(delOpenBackDoorExceptionInfo(), EC_OK);
    EXPECT_TRUE(s.machine().abnormalRecords().empty());
    EXPECT_STREQ(readOpenBackDoorExceptionInfo(), "");
}

TEST(JoinedText, WholeOrNotAtAll)
{
    // The records' text: 1023 bytes fit the 1024-byte buffer, 1024 do not and leave it alone.
    char buf[1024];
    std::strcpy(buf, "before");
    const std::vector<std::string> fits = {std::string(511, 'a'), std::string(511, 'b')};
    EXPECT_TRUE(joinWhole(fits, ';', buf, sizeof buf));
    EXPECT_EQ(std::strlen(buf), 1023u);
    std::strcpy(buf, "before");
    const std::vector<std::string> over = {std::string(512, 'a'), std::string(511, 'b')};
    EXPECT_FALSE(joinWhole(over, ';', buf, sizeof buf));
    EXPECT_STREQ(buf, "before");
}

TEST_F(Logs, NullTextArgumentsAreRefusedNotDereferenced)
{
    EXPECT_EQ(openMachineBackDoorUnNormal(nullptr), EC_PARAM_604);
    EXPECT_EQ(openMachineBackDoorUnNormalForProduct(nullptr), EC_PARAM_604);
    EXPECT_EQ(lockSeal(nullptr), EC_FAIL);
    EXPECT_STREQ(querySloatInfo(nullptr), "-@#-301");
    EXPECT_STREQ(querySealInfo(nullptr), "-@#-301");
    EXPECT_EQ(initStamp(nullptr, "1#A"), EC_PARAM_301);
    EXPECT_EQ(initStamp("OV2026000117", nullptr), EC_PARAM_305);
}

}  // namespace
