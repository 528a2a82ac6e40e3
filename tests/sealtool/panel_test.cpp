// The operation panel: what each kind of button calls and what the operator reads afterwards.
#include <string>
#include <vector>

#include <QCheckBox>
#include <QRadioButton>
#include <QValidator>

#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

// What the recording functions below saw.
std::vector<std::string> g_calls;
std::string g_text;
int g_result = 0;
std::vector<int> g_args;

int record(const std::string& name, std::vector<int> args = {})
{
    g_calls.push_back(name);
    g_args = std::move(args);
    return g_result;
}
QString message(int code) { return QString::fromUtf8(geterrMsg(code)); }

class Panel : public ToolWindow {
protected:
    void SetUp() override
    {
        g_calls.clear(), g_text.clear(), g_args.clear();
        g_result = 0;
        ToolWindow::SetUp();
    }
    QLineEdit* edit(const char* name) { return window.findChild<QLineEdit*>(name); }
    void tick(const QString& name) { window.findChild<QAbstractButton*>(name)->setChecked(true); }
};

}  // namespace

TEST_F(Panel, ButtonsShowTheirSuccessOrTheLibrarysMessage)
{
    // Before connecting every machine call fails; the tool shows the library's own message.
    EXPECT_EQ(press("pushButton_OpenPaperDoor"), message(openPaperDoor()));
    ASSERT_EQ(press("pushButton_Connet"), "连接成功");
    EXPECT_TRUE(window.windowTitle().contains(QString("-版本:") + getFirmwareVer()));
    EXPECT_EQ(window.machineType(), QByteArray(getMachineType()));

    const struct {
        const char* button;
        const char* success;
    } plain[] = {
        {"pushButton_OpenPaperDoor", "打开纸板门成功"},    {"pushButton_CloseAlarm", "关闭蜂鸣成功"},
        {"pushButton_OpenAlarm_FD", "开启防盗报警成功"},   {"pushButton_CloseAlarm_FD", "关闭防盗报警成功"},
        {"pushButton_del_alarm", "删除报警信息成功"},      {"pushButton_del_backdoor_error", "删除异常开锁信息成功"},
        {"pushButton_backdoor_error", "异常开锁成功"},     {"pushButton_bind_rfid", "印章与槽位绑定成功"},
        {"pushButton_unbind_rfid", "印章与槽位解绑成功"},  {"pushButton_SetNo", "设置设备编号成功"},
        {"pushButton_getsealinfo", "设置印章信息成功"},    {"pushButton_openlight", "打开照明灯成功"},
        {"pushButton_get_type", "设备已链接"},
    };
    for (const auto& button : plain) EXPECT_EQ(press(button.button), button.success) << button.button;
    // What was set arrives: the machine number, the seal information, the edition.
    EXPECT_EQ(press("pushButton_GetNo"), "234234");
    EXPECT_EQ(press("pushButton_GetSealInof"), "234234");
    EXPECT_EQ(press("pushButton_xzb"), "下发机型版本成功");
    EXPECT_EQ(press("pushButton_GetType"), "OVM310");

    lib().closeVideoCapLight = [] { return -401; };  // the light has its own failure text
    EXPECT_EQ(press("pushButton_closelight"), "关闭照明灯失败");
    EXPECT_EQ(press("pushButton_DisConnet"), "连接已断开");
    EXPECT_EQ(press("pushButton_get_type"), "设备已断开");
}

TEST_F(Panel, StateAndModeButtonsNameWhatTheLibrarySays)
{
    lib().checkPaperDoorState = lib().checkBackDoorState = lib().checkVideoState = [] { return g_result; };
    for (auto [button, open, closed] : {std::tuple{"pushButton_OpenPaperDoorSt", "门板打开", "门板关闭"},
                                        {"pushButton_OpenBackDoorSt", "侧门打开", "侧门关闭"},
                                        {"pushButton_camstatus", "摄像头打开", "摄像头关闭"}}) {
        g_result = 1;
        EXPECT_EQ(press(button), open);
        g_result = 2;
        EXPECT_EQ(press(button), closed);
        g_result = -8001;
        EXPECT_EQ(press(button), message(-8001));
    }

    g_result = 0;
    lib().setFirmwareMode = [](int mode) { return record("setFirmwareMode", {mode}); };
    lib().getFirmwareMode = [] { return g_args.empty() ? -1 : g_args[0]; };
    lib().getFirmwareVer = [] { return "V2.1"; };
    for (auto [button, mode, name] : {std::tuple{"pushButton_wwk", 0, "无外壳测试"},
                                      {"pushButton_wswjyc", 1, "无上位机压测"}, {"pushButton_CutDebug", 2, "正式出厂"}}) {
        EXPECT_EQ(press(button), "设置成功");
        EXPECT_EQ(g_args, std::vector<int>{mode});
        EXPECT_EQ(window.windowTitle(), QString("奥凡印控仪测试工具--固件模式:%1-版本:V2.1").arg(name));
    }
    g_result = -8016;  // a refused mode leaves the title
    EXPECT_EQ(press("pushButton_wwk"), message(-8016));
    EXPECT_TRUE(window.windowTitle().contains("正式出厂"));
}

TEST_F(Panel, FactoryResetAsksFirstAndStopsAtTheFirstFailure)
{
    static int failAt;
    lib().setMachineId = [](const char* id) {
        g_text = id;
        record("setMachineId");
        return failAt == 1 ? -401 : 0;
    };
    lib().delSecurityCode = [] { record("delSecurityCode"); return failAt == 2 ? -90 : 0; };
    lib().delAlarmLog = [] { record("delAlarmLog"); return -401; };
    const std::vector<std::string> all = {"setMachineId", "delSecurityCode", "delAlarmLog"};
    const QString expected[] = {"一键恢复出厂设置成功", message(-401), message(-90)};
    answering.answer = QMessageBox::No;
    EXPECT_EQ(press("pushButton_onekey"), "一键恢复出厂设置将清除设备序列号、安全码和报警信息，是否继续？");
    EXPECT_EQ(answering.boxes.first().buttons, (QStringList{"是", "否"}));
    EXPECT_TRUE(g_calls.empty());
    answering.answer = QMessageBox::Yes;
    // It stops at the failing step; the alarm log's own failure does not spoil the result.
    for (int at : {1, 2, 0}) {
        failAt = at;
        g_calls.clear();
        EXPECT_EQ(press("pushButton_onekey"), expected[at]);
        EXPECT_EQ(g_calls, std::vector<std::string>(all.begin(), all.begin() + (at ? at : 3)));
    }
    EXPECT_EQ(g_text, std::string(20, '0'));
}

TEST_F(Panel, StampingButtonsTakeSealAngleAndTheClickedPosition)
{
    lib().setAcrossPageSeal = [] { record("setAcrossPageSeal"); return -401; };
    lib().manualPrintStart = [](int seal, int x, int y, int a) { return record("manual", {seal, x, y, a}); };
    lib().manualPrintStartByLight = [](int seal, int x, int y, int a) { return record("light", {seal, x, y, a}); };
    lib().autoPrintStart = [](int seal, int x, int y, int a) { return record("auto", {seal, x, y, a}); };

    // Before any click the position is (0, 0).
    EXPECT_EQ(press("pushButton_RgSeal"), "用印成功");
    EXPECT_EQ(g_calls, std::vector<std::string>{"manual"});
    EXPECT_EQ(g_args, (std::vector<int>{1, 0, 0, 0}));

    tick("radioButton_3");
    tick("checkBox");
    edit("lineEditAngle")->setText("270");
    g_calls.clear();
    EXPECT_EQ(press("pushButton_GmSeal"), "光敏章用印成功");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"setAcrossPageSeal", "light"}));
    EXPECT_EQ(g_args, (std::vector<int>{3, 0, 0, 270}));

    edit("lineEditX")->setText("120");
    edit("lineEditY")->setText("80");
    g_result = -502;
    EXPECT_EQ(press("pushButton_ZdSeal"), message(-502));
    EXPECT_EQ(g_args, (std::vector<int>{3, 120, 80, 270}));
}

TEST_F(Panel, FieldsThatHoldNoFitNumberOrSerialSendNothing)
{
    lib().setAcrossPageSeal = [] { return record("setAcrossPageSeal"); };
    lib().manualPrintStart = lib().manualPrintStartByLight = lib().autoPrintStart = [](int, int, int, int) {
        return record("print");
    };
    lib().setMachineId = [](const char*) { return record("setMachineId"); };
    tick("checkBox");
    const QString angle = "转章角度须为0到360之间的整数";
    for (auto [field, text, button, said] : {std::tuple{"lineEditAngle", "abc", "pushButton_RgSeal", angle},
                                             {"lineEditAngle", "", "pushButton_GmSeal", angle},
                                             {"lineEditAngle", "361", "pushButton_Gzpzkm", angle},
                                             {"lineEditY", "x1y", "pushButton_ZdSeal", QString("毫米Y须为0到297之间的整数")},
                                             {"lineEdit_ID", "", "pushButton_error", QString("错误码须为-9999到0之间的整数")},
                                             {"lineEdit_ID", "", "pushButton_setID", QString("请输入序列号")}}) {
        const QString kept = edit(field)->text();
        edit(field)->setText(text);
        g_calls.clear();
        EXPECT_EQ(press(button), said) << button << " " << text;
        EXPECT_EQ(answering.boxes.size(), 1);
        EXPECT_TRUE(g_calls.empty()) << button;
        edit(field)->setText(kept);
    }
    // Letters cannot even be typed into the number fields.
    QString typed = "1a";
    int at = 2;
    for (const char* field : {"lineEditAngle", "lineEditX", "lineEditY"})
        EXPECT_EQ(edit(field)->validator()->validate(typed, at), QValidator::Invalid) << field;
    edit("lineEdit_ID")->setText("-401");
    EXPECT_EQ(press("pushButton_error"), message(-401));
}
