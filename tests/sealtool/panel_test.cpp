// The operation panel: what each kind of button calls and what the operator reads afterwards.
#include <string>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include "mainwindow.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

// What the recording functions below saw.
std::vector<std::string> g_calls;
std::string g_text;
int g_result = 0;
std::vector<int> g_args;

void record(const std::string& name, std::vector<int> args = {})
{
    g_calls.push_back(name);
    g_args = std::move(args);
}

class Panel : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_text.clear();
        g_result = 0;
        g_args.clear();
        window.show();
    }

    QString lastBox() const { return answering.boxes.isEmpty() ? QString() : answering.boxes.last().text; }
    QString press(const char* name)
    {
        answering.boxes.clear();
        click(&window, name);
        return lastBox();
    }
    void connect()
    {
        ASSERT_EQ(press("pushButton_Connet"), "连接成功");
    }
    QLineEdit* edit(const char* name) { return window.findChild<QLineEdit*>(name); }

    TempFiles files;
    LibraryScope restore;
    Operator answering;
    MainWindow window;
};

}  // namespace

TEST_F(Panel, ConnectingNamesTheFirmwareInTheTitleAndReadsTheType)
{
    EXPECT_EQ(window.windowTitle(), "奥凡印控仪测试工具");
    connect();
    EXPECT_TRUE(window.windowTitle().startsWith("奥凡印控仪测试工具--固件模式:"));
    EXPECT_TRUE(window.windowTitle().contains(QString("-版本:") + getFirmwareVer()));
    EXPECT_EQ(window.machineType(), QByteArray(getMachineType()));
    EXPECT_FALSE(window.machineType().isEmpty());

    // Disconnecting always reads the same, and the type stays.
    EXPECT_EQ(press("pushButton_DisConnet"), "连接已断开");
    EXPECT_EQ(press("pushButton_DisConnet"), "连接已断开");
    EXPECT_FALSE(window.machineType().isEmpty());
    EXPECT_EQ(press("pushButton_get_type"), "设备已断开");
}

TEST_F(Panel, PlainButtonsShowTheirSuccessOrTheLibrarysMessage)
{
    // Before connecting every machine call fails; the tool shows the library's own message.
    lib().openFMAlarm = [] { record("openFMAlarm"); return -401; };
    EXPECT_EQ(press("pushButton_OpenAlarm"), QString::fromUtf8(geterrMsg(-401)));
    EXPECT_EQ(press("pushButton_OpenPaperDoor"), QString::fromUtf8(geterrMsg(openPaperDoor())));

    connect();
    const struct {
        const char* button;
        const char* success;
    } plain[] = {
        {"pushButton_OpenPaperDoor", "打开纸板门成功"},
        {"pushButton_CloseAlarm", "关闭蜂鸣成功"},
        {"pushButton_OpenAlarm_FD", "开启防盗报警成功"},
        {"pushButton_CloseAlarm_FD", "关闭防盗报警成功"},
        {"pushButton_del_alarm", "删除报警信息成功"},
        {"pushButton_del_backdoor_error", "删除异常开锁信息成功"},
        {"pushButton_backdoor_error", "异常开锁成功"},
        {"pushButton_bind_rfid", "印章与槽位绑定成功"},
        {"pushButton_unbind_rfid", "印章与槽位解绑成功"},
        {"pushButton_ywb", "下发机型版本成功"},
        {"pushButton_SetNo", "设置设备编号成功"},
        {"pushButton_getsealinfo", "设置印章信息成功"},
        {"pushButton_openlight", "打开照明灯成功"},
        {"pushButton_get_type", "设备已链接"},
    };
    for (const auto& button : plain)
        EXPECT_EQ(press(button.button), button.success) << button.button;

    // What was set arrives: the machine number, the seal information, the edition.
    EXPECT_EQ(press("pushButton_GetNo"), "234234");
    EXPECT_EQ(press("pushButton_GetSealInof"), "234234");
    EXPECT_EQ(press("pushButton_GetType"), "OVM350");
    EXPECT_EQ(press("pushButton_xzb"), "下发机型版本成功");
    EXPECT_EQ(press("pushButton_GetType"), "OVM310");

    // The light buttons have their own failure text.
    lib().closeVideoCapLight = [] { return -401; };
    EXPECT_EQ(press("pushButton_closelight"), "关闭照明灯失败");
}

TEST_F(Panel, StateButtonsNameTheStateOrTheCode)
{
    lib().checkPaperDoorState = [] { return g_result; };
    lib().checkBackDoorState = [] { return g_result; };
    lib().checkVideoState = [] { return g_result; };
    const struct {
        const char* button;
        const char* open;
        const char* closed;
    } states[] = {
        {"pushButton_OpenPaperDoorSt", "门板打开", "门板关闭"},
        {"pushButton_OpenBackDoorSt", "侧门打开", "侧门关闭"},
        {"pushButton_camstatus", "摄像头打开", "摄像头关闭"},
    };
    for (const auto& state : states) {
        g_result = 1;
        EXPECT_EQ(press(state.button), state.open);
        g_result = 2;
        EXPECT_EQ(press(state.button), state.closed);
        g_result = -8001;
        EXPECT_EQ(press(state.button), QString::fromUtf8(geterrMsg(-8001)));
    }
}

TEST_F(Panel, TextResultsGoToTheFieldOrIntoABox)
{
    connect();
    lib().getRFID = [] { return const_cast<char*>("0A1B2C3D_1"); };
    EXPECT_EQ(press("pushButton_GetRFID"), QString());
    EXPECT_EQ(edit("lineEdit")->text(), "0A1B2C3D_1");

    EXPECT_EQ(press("pushButton_SlotInfo"), QString());
    EXPECT_EQ(edit("lineEdit")->text(), QString::fromUtf8(querySloatInfo(getMachineNum())));
    EXPECT_TRUE(edit("lineEdit")->text().startsWith("1:"));

    EXPECT_EQ(press("pushButton_backdoor_error"), "异常开锁成功");
    EXPECT_EQ(press("pushButton_get_backdoor_error"), QString());
    EXPECT_EQ(edit("lineEdit")->text(), "123123");

    // A failed text call shows the library's failure text as it is; an absent one as empty.
    lib().readOpenBackDoorExceptionInfo = [] { return "-@#-401"; };
    press("pushButton_get_backdoor_error");
    EXPECT_EQ(edit("lineEdit")->text(), "-@#-401");
    lib().getMachineId = []() -> const char* { return nullptr; };
    EXPECT_EQ(press("pushButton_getID"), QString());

    lib().inqAlarmLog = [] { return "告警1;告警2"; };
    press("pushButton_inq_alarm");
    ASSERT_EQ(answering.boxes.size(), 1);
    EXPECT_EQ(answering.boxes[0].title, "报警信息");
    EXPECT_EQ(answering.boxes[0].text, "告警1;告警2");
}

TEST_F(Panel, FirmwareModeButtonsRetitleOnlyOnSuccess)
{
    lib().setFirmwareMode = [](int mode) { record("setFirmwareMode", {mode}); return g_result; };
    lib().getFirmwareMode = [] { return g_args.empty() ? -1 : g_args[0]; };
    lib().getFirmwareVer = [] { return "V2.1"; };
    const struct {
        const char* button;
        int mode;
        const char* title;
    } modes[] = {
        {"pushButton_wwk", 0, "奥凡印控仪测试工具--固件模式:无外壳测试-版本:V2.1"},
        {"pushButton_wswjyc", 1, "奥凡印控仪测试工具--固件模式:无上位机压测-版本:V2.1"},
        {"pushButton_CutDebug", 2, "奥凡印控仪测试工具--固件模式:正式出厂-版本:V2.1"},
    };
    for (const auto& mode : modes) {
        EXPECT_EQ(press(mode.button), "设置成功");
        EXPECT_EQ(g_args, std::vector<int>{mode.mode});
        EXPECT_EQ(window.windowTitle(), mode.title);
    }
    g_result = -8016;
    EXPECT_EQ(press("pushButton_wwk"), QString::fromUtf8(geterrMsg(-8016)));
    EXPECT_EQ(window.windowTitle(), modes[2].title);
}

TEST_F(Panel, UnlockSendsOneBitPerTickedSeal)
{
    lib().unlockSeal = [](const char* p) { record("unlockSeal", {static_cast<unsigned char>(*p)}); return 0; };
    EXPECT_EQ(press("pushButton_unlock"), "请选择需要解锁的印章");
    EXPECT_TRUE(g_calls.empty());

    window.findChild<QCheckBox*>("checkBox_lock_1")->setChecked(true);
    window.findChild<QCheckBox*>("checkBox_lock_3")->setChecked(true);
    EXPECT_EQ(press("pushButton_unlock"), "解锁印章成功");
    EXPECT_EQ(g_args, std::vector<int>{5});

    for (int i = 1; i <= 6; ++i)
        window.findChild<QCheckBox*>(QString("checkBox_lock_%1").arg(i))->setChecked(true);
    press("pushButton_unlock");
    EXPECT_EQ(g_args, std::vector<int>{0x3F});
}

TEST_F(Panel, ErrorCodeLookUpTakesTheFieldAsANumber)
{
    edit("lineEdit_ID")->setText("-401");
    EXPECT_EQ(press("pushButton_error"), QString::fromUtf8(geterrMsg(-401)));
    edit("lineEdit_ID")->clear();
    EXPECT_EQ(press("pushButton_error"), QString::fromUtf8(geterrMsg(0)));
    edit("lineEdit_ID")->setText("-401x");
    EXPECT_EQ(press("pushButton_error"), QString::fromUtf8(geterrMsg(0)));
}

TEST_F(Panel, FactoryResetStopsAtTheFirstFailure)
{
    static int failAt;
    lib().setMachineId = [](const char* id) {
        g_text = id;
        record("setMachineId");
        return failAt == 1 ? -401 : 0;
    };
    lib().delSecurityCode = [] { record("delSecurityCode"); return failAt == 2 ? -90 : 0; };
    lib().delAlarmLog = [] { record("delAlarmLog"); return -401; };

    failAt = 1;
    EXPECT_EQ(press("pushButton_onekey"), QString::fromUtf8(geterrMsg(-401)));
    EXPECT_EQ(g_calls, std::vector<std::string>{"setMachineId"});
    EXPECT_EQ(g_text, std::string(20, '0'));

    g_calls.clear();
    failAt = 2;
    EXPECT_EQ(press("pushButton_onekey"), QString::fromUtf8(geterrMsg(-90)));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"setMachineId", "delSecurityCode"}));

    // The alarm log's own failure does not spoil the result.
    g_calls.clear();
    failAt = 0;
    EXPECT_EQ(press("pushButton_onekey"), "一键恢复出厂设置成功");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"setMachineId", "delSecurityCode", "delAlarmLog"}));
}

TEST_F(Panel, StampingButtonsTakeSealAngleAndTheClickedPosition)
{
    lib().setAcrossPageSeal = [] { record("setAcrossPageSeal"); return -401; };
    lib().manualPrintStart = [](int seal, int x, int y, int angle) {
        record("manualPrintStart", {seal, x, y, angle});
        return g_result;
    };
    lib().manualPrintStartByLight = [](int seal, int x, int y, int angle) {
        record("manualPrintStartByLight", {seal, x, y, angle});
        return g_result;
    };
    lib().autoPrintStart = [](int seal, int x, int y, int angle) {
        record("autoPrintStart", {seal, x, y, angle});
        return g_result;
    };

    // Before any click the position is (0, 0); letters in the angle field send 0.
    edit("lineEditAngle")->setText("9O");
    EXPECT_EQ(press("pushButton_RgSeal"), "用印成功");
    EXPECT_EQ(g_calls, std::vector<std::string>{"manualPrintStart"});
    EXPECT_EQ(g_args, (std::vector<int>{1, 0, 0, 0}));

    window.findChild<QRadioButton*>("radioButton_3")->setChecked(true);
    edit("lineEditAngle")->setText("270");
    window.findChild<QCheckBox*>("checkBox")->setChecked(true);
    g_calls.clear();
    EXPECT_EQ(press("pushButton_GmSeal"), "光敏章用印成功");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"setAcrossPageSeal", "manualPrintStartByLight"}));
    EXPECT_EQ(g_args, (std::vector<int>{3, 0, 0, 270}));

    edit("lineEditX")->setText("120");
    edit("lineEditY")->setText("abc");
    g_result = -502;
    EXPECT_EQ(press("pushButton_ZdSeal"), QString::fromUtf8(geterrMsg(-502)));
    EXPECT_EQ(g_args, (std::vector<int>{3, 120, 0, 270}));
    EXPECT_EQ(window.GetSealNo(), 3);
}

TEST_F(Panel, LongTextIsCutAtAWholeCharacter)
{
    lib().setMachineId = [](const char* id) { g_text = id; return 0; };
    lib().openMachineBackDoorUnNormalForProduct = [](const char* why) { g_text = why; return 0; };
    const QString han = QString("印").repeated(40);  // 3 bytes each

    edit("lineEdit_ID")->setText(han);
    EXPECT_EQ(press("pushButton_setID"), "设置成功");
    EXPECT_EQ(QString::fromStdString(g_text), QString("印").repeated(33));  // 99 bytes

    edit("lineEdit_ID")->setText("a" + han);
    press("pushButton_setID");
    EXPECT_EQ(QString::fromStdString(g_text), "a" + QString("印").repeated(32));  // 97 bytes

    edit("lineEditdoorinfo")->setText(QString("x").repeated(99));
    press("pushButton_backdoor_error");
    EXPECT_EQ(g_text.size(), 99u);
}

TEST_F(Panel, CalibrationNeedsAConnectedMachine)
{
    EXPECT_EQ(press("pushButton_CheckSet"), "请先链接用印机在操作");
    connect();
    bool dialogShown = false;
    answering.onOther = [&](QWidget* modal) {
        dialogShown = modal->windowTitle() == "校准";
        modal->close();
    };
    press("pushButton_CheckSet");
    EXPECT_TRUE(dialogShown);
}
