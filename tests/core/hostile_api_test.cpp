// Every export as an integrator's worst day calls it: unconnected, refused, disconnected, and with
// NULL, empty, 1 MB and non-UTF-8 texts and extreme integers. The process survives (the sanitizer
// build aborts on any undefined behaviour), and no call claims what it did not do.
#include <climits>
#include <cstring>
#include <functional>

#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

const std::string kHuge(1 << 20, '7');
const char* const huge = kHuge.c_str();
const char kNotUtf8[] = "\xff\xfe\xc3\x28\xa0\xa1";
const char kMask = 0x3F;
std::string g_base;  // the session's folder, for the photos that may be written
const char* in(const char* name)
{
    static std::string path;
    return (path = g_base + "/" + name).c_str();
}
char g_msg[1024];
short g_shorts[6][64];
unsigned char g_block[64];

// Success as each kind of result says it: a text without the failure mark, a non-negative int.
struct Outcome {
    bool success;
    std::string shown;
};
Outcome of(int r) { return {r >= 0, std::to_string(r)}; }
Outcome of(const char* t) { return {t && *t && std::strncmp(t, "-@#", 3) != 0, t ? t : "(null)"}; }

struct Call {
    const char* what;
    std::function<Outcome()> run;
    std::string exact;  // the failure it must give; empty: any failure
    bool claimsSuccess() const { return run().success; }
};
// clang-format off
#define CALL(expr) Call{#expr, [] { return of(expr); }, {}}
#define CODE(expr, want) Call{#expr, [] { return of(expr); }, of(want).shown}

// Each with ordinary arguments: nothing of this can succeed without a machine.
const Call kMachineCalls[] = {
    CALL(getMachineNum()), CALL(setMachineNum("NUM1")), CALL(getMachineType()), CALL(setMachineType("OVM260")),
    CALL(getMachineId()), CALL(setMachineId("ID1")), CALL(getFirmwareVer()), CALL(getFirmwareMode()),
    CALL(setFirmwareMode(1)), CALL(setSecurityCode("secret99")), CALL(delSecurityCode()),
    CALL(openVideoCapLight()), CALL(closeVideoCapLight()), CALL(openPaperDoor()), CALL(openPaperDoorEx(30)),
    CALL(checkPaperDoorState()), CALL(openMachineBackDoor()), CALL(openMachineBackDoorEx(120)),
    CALL(checkBackDoorState()), CALL(openMachineBackDoorUnNormal("why")),
    CALL(openMachineBackDoorUnNormalForProduct("why")), CALL(openMoveAlarm()), CALL(closeMoveAlarm()),
    CALL(openFMAlarm()), CALL(closeFMAlarm()), CALL(lockSeal(&kMask)), CALL(unlockSeal(&kMask)),
    CALL(querySloatInfo("NUM1")), CALL(querySealInfo("NUM1")), CALL(initStamp("NUM1", "1_AB")), CALL(getRFID()),
    CALL(BindRFIDAndSlot(1)), CALL(inqAlarmLog()), CALL(delAlarmLog()), CALL(readOpenBackDoorExceptionInfo()),
    CALL(delOpenBackDoorExceptionInfo()), CALL(openVideoCap()), CALL(checkVideoState()),
    CALL(getImageFormat(in("never.jpg"), 0, 0, 0)), CALL(setAcrossPageSeal()), CALL(manualPrintStart(1, 500, 500, 0)),
    CALL(manualPrintStartByLight(1, 500, 500, 0)), CALL(autoPrintStart(1, 100, 50, 0)), CALL(initializationMachine()),
    CALL(GetAllJZInfo(g_shorts[0], g_shorts[1], g_shorts[2], g_shorts[3], g_shorts[4], g_shorts[5])),
    CALL(DownLoadBaseJZ(g_block, 50, 0)), CALL(DownLoadRotateJZ(g_shorts[0], g_shorts[1])),
};

// Connected, with the document camera running: arguments no call can do anything with.
const Call kRefused[] = {
    CODE(connMachine(nullptr), EC_BAD_PARAMETER), CODE(setMachineNum(nullptr), EC_MACHINE_NUM_MISSING),
    CALL(setMachineNum("")), CALL(setMachineNum(huge)), CODE(setMachineType(nullptr), EC_BAD_PARAMETER),
    CALL(setMachineType(huge)), CODE(setMachineId(nullptr), EC_FAIL), CALL(setMachineId(huge)),
    CODE(setSecurityCode(nullptr), EC_SECURITY_CODE_MISSING), CALL(setSecurityCode("")), CALL(setSecurityCode(huge)),
    CODE(querySloatInfo(nullptr), "-@#-301"), CALL(querySloatInfo(huge)), CODE(querySealInfo(nullptr), "-@#-301"),
    CALL(querySealInfo(huge)), CODE(initStamp(nullptr, "1_AB"), EC_MACHINE_NUM_MISSING),
    CALL(initStamp("NUM1", nullptr)), CALL(initStamp(huge, huge)), CALL(openPaperDoorEx(INT_MIN)),
    CALL(openPaperDoorEx(INT_MAX)), CALL(openPaperDoorEx(-1)), CALL(openMachineBackDoorEx(INT_MIN)),
    CALL(openMachineBackDoorEx(INT_MAX)), CODE(openMachineBackDoorEx(-1), EC_BAD_PARAMETER),
    CODE(openMachineBackDoorUnNormal(nullptr), EC_OPEN_REASON_MISSING),
    CODE(openMachineBackDoorUnNormal(""), EC_OPEN_REASON_MISSING), CALL(openMachineBackDoorUnNormal(huge)),
    CALL(openMachineBackDoorUnNormalForProduct(nullptr)), CALL(openMachineBackDoorUnNormalForProduct(huge)),
    CODE(lockSeal(nullptr), EC_FAIL), CODE(unlockSeal(nullptr), EC_FAIL),
    CODE(getImageFormat(nullptr, 0, 0, 0), EC_PHOTO_PATH_MISSING), CALL(getImageFormat("", 0, 0, 0)),
    CALL(getImageFormat(huge, 0, 0, 0)), CALL(getImageFormat("/nonexistent-dir/x.jpg", INT_MIN, INT_MAX, -1)),
    CALL(openEnvVideoCap(INT_MAX, INT_MAX)), CALL(openEnvVideoCap(-1, -1)), CALL(openEnvVideoCap(INT_MIN, 0)),
    CALL(TakeEnvPhoto(nullptr)), CALL(TakeEnvPhoto("")), CALL(TakeEnvPhoto(huge)),
    CALL(checkManualPrintPara(INT_MIN, INT_MIN, -1)), CALL(checkManualPrintPara(INT_MAX, INT_MAX, INT_MAX)),
    CALL(checkManualPrintPara(-1, 500, 0)), CALL(manualPrintStart(INT_MIN, 500, 500, 0)),
    CALL(manualPrintStart(-1, INT_MAX, INT_MIN, INT_MAX)), CALL(manualPrintStart(1, 500, 500, INT_MIN)),
    CALL(manualPrintStartByLight(INT_MAX, INT_MIN, INT_MAX, -1)), CALL(manualPrintStartByLight(1, INT_MAX, 500, 0)),
    CALL(autoPrintStart(1, INT_MAX, INT_MAX, 0)), CALL(autoPrintStart(INT_MIN, INT_MIN, INT_MIN, INT_MIN)),
    CODE(GetAllJZInfo(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), EC_BAD_PARAMETER),
    CODE(DownLoadBaseJZ(nullptr, 50, 0), EC_BAD_PARAMETER), CALL(DownLoadBaseJZ(g_block, -1, INT_MIN)),
    CALL(DownLoadBaseJZ(g_block, 0, 0)), CODE(DownLoadRotateJZ(nullptr, nullptr), EC_BAD_PARAMETER),
    CODE(AutoCheckSeal(nullptr, g_shorts[0]), EC_BAD_PARAMETER), CODE(AutoCheckSeal(g_msg, nullptr), EC_BAD_PARAMETER),
};

// Connected: arguments a call may take or refuse; the process and the sanitizers must survive.
const Call kOdd[] = {
    CALL(geterrMsg(INT_MIN)), CALL(geterrMsg(INT_MAX)), CALL(isWhitePaper(INT_MIN, INT_MIN)),
    CALL(isWhitePaper(INT_MAX, INT_MAX)), CALL(isWhitePaper(-1, -1)), CALL(setMachineNum(kNotUtf8)),
    CALL(getMachineNum()), CALL(setMachineType(kNotUtf8)), CALL(setMachineType("")), CALL(getMachineType()),
    CALL(setMachineId(kNotUtf8)), CALL(setMachineId("")), CALL(getMachineId()), CALL(setFirmwareMode(INT_MIN)),
    CALL(setFirmwareMode(INT_MAX)), CALL(setFirmwareMode(-1)), CALL(openMachineBackDoorUnNormal(kNotUtf8)),
    CALL(readOpenBackDoorExceptionInfo()), CALL(querySloatInfo("")), CALL(querySloatInfo(kNotUtf8)),
    CALL(querySealInfo(kNotUtf8)), CALL(initStamp(kNotUtf8, kNotUtf8)), CALL(initStamp("", "")),
    CALL(BindRFIDAndSlot(INT_MIN)), CALL(BindRFIDAndSlot(INT_MAX)), CALL(BindRFIDAndSlot(-1)),
    CALL(getImageFormat(kNotUtf8, 0, 0, 0)), CALL(getImageFormat(in("h.bmp"), 0, 1, INT_MAX)),
    CALL(getImageFormat(in("h.jpg"), 1, INT_MIN, INT_MIN)), CALL(TakeEnvPhoto(kNotUtf8)),
    CALL(DownLoadBaseJZ(g_block, INT_MAX, INT_MAX)), CALL(GetPrintReset()), CALL(closeEnvVideoCap()),
    CALL(closeVideoCap()), CALL(closeVideoCap()), CALL(setSecurityCode(kNotUtf8)), CALL(connMachine(huge)),
};
// clang-format on

class Hostile : public ::testing::Test {
protected:
    // Nothing claimed, nothing sent.
    void expectNothingDone(const char* state)
    {
        s.machine().clearLog();
        for (const Call& c : kMachineCalls) EXPECT_FALSE(c.claimsSuccess()) << state << ": " << c.what;
        EXPECT_EQ(isConnMachine(), 1) << state;
        EXPECT_TRUE(s.frames().empty()) << state;
        EXPECT_TRUE(s.machine().stamps().empty()) << state;
    }
    void SetUp() override { g_base = s.base(); }
    test::SimSession s;
};

TEST_F(Hostile, NoMachineNoSuccessBeforeConnectingAfterARefusedCodeAndAfterDisconnecting)
{
    expectNothingDone("before connecting");
    s.machine().setSecurityCode("secret99");
    EXPECT_EQ(connMachine(huge), EC_BAD_PARAMETER);
    expectNothingDone("code refused");
    ASSERT_EQ(connMachine("secret99"), EC_OK);
    EXPECT_EQ(disconnMachine(), EC_OK);
    expectNothingDone("after disconnecting");
}

TEST_F(Hostile, ArgumentsNoCallCanUseAreRefusedAndOddOnesSurvived)
{
    // Without a cut picture, then with one for the pixel paths (the last odd call refuses the link).
    for (const char* photo : {"", "sheet.bmp"}) {
        ASSERT_EQ(connMachine("mt5934mt"), EC_OK);
        ASSERT_EQ(openVideoCap(), EC_OK);
        if (*photo) {
            ASSERT_EQ(getImageFormat(in(photo), 0, 0, 0), EC_OK);
        }
        for (const Call& c : kRefused) {
            const Outcome o = c.run();
            EXPECT_TRUE(!o.success && (c.exact.empty() || o.shown == c.exact))
                << photo << ": " << c.what << " gave " << o.shown;
        }
        EXPECT_TRUE(s.machine().stamps().empty());
        for (const Call& c : kOdd) c.claimsSuccess();
    }
}

}  // namespace
