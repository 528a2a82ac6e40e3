// The operation panel: what each kind of button calls and what the operator reads afterwards.
#include <atomic>
#include <map>
#include <string>
#include <vector>

#include <QProgressDialog>

#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

// What the recording functions below saw (each test runs in a process of its own).
std::vector<std::string> g_calls;
std::string g_text;
int g_result = 0;
std::vector<int> g_args;
std::map<std::string, int> g_fails;  // calls that answer otherwise than g_result

int record(const std::string& name, std::vector<int> args = {})
{
    g_calls.push_back(name);
    g_args = std::move(args);
    return g_fails.count(name) ? g_fails[name] : g_result;
}
QString message(int code) { return QString::fromUtf8(geterrMsg(code)); }

class Panel : public ToolWindow {
protected:
    void SetUp() override
    {
        answering.answer = QMessageBox::Yes;
        ToolWindow::SetUp();
    }
    QLineEdit* edit(const char* name) { return window.findChild<QLineEdit*>(name); }
    void tick(const QString& name) { window.findChild<QAbstractButton*>(name)->setChecked(true); }
};

}  // namespace

TEST_F(Panel, ButtonsShowTheirSuccessOrTheLibrarysMessage)
{
    // Before connecting every machine call fails; the tool shows the library's own message,
    // marked as a failure.
    EXPECT_EQ(press("pushButton_OpenPaperDoor"), message(openPaperDoor()));
    EXPECT_EQ(answering.boxes.last().icon, QMessageBox::Warning);
    ASSERT_EQ(press("pushButton_Connet"), "连接成功");
    EXPECT_TRUE(window.windowTitle().contains(QString("-版本:") + getFirmwareVer()));
    EXPECT_EQ(window.machineType(), QByteArray(getMachineType()));

    // Which call reached the machine shows in the trace: pairs of buttons share a success text.
    for (auto [button, success, traced] :
         {std::tuple{"pushButton_OpenPaperDoor", "打开纸板门成功", "_openPaperDoor"},
          {"pushButton_OpenAlarm", "开启蜂鸣成功", "_openFMAlarm"},
          {"pushButton_CloseAlarm", "关闭蜂鸣成功", "_closeFMAlarm"},
          {"pushButton_OpenAlarm_FD", "开启防盗报警成功", "_openMoveAlarm"},
          {"pushButton_CloseAlarm_FD", "关闭防盗报警成功", "_closeMoveAlarm"},
          {"pushButton_del_alarm", "删除报警信息成功", "_delAlarmLog"},
          {"pushButton_del_backdoor_error", "删除异常开锁信息成功", "_delOpenBackDoorExceptionInfo"},
          {"pushButton_backdoor_error", "异常开锁成功", "_openMachineBackDoorUnNormal "},
          {"pushButton_bind_rfid", "印章与槽位绑定成功", "_BindRFIDAndSlot"},
          {"pushButton_unbind_rfid", "印章与槽位解绑成功", "_BindRFIDAndSlot"},
          {"pushButton_SetNo", "设置设备编号成功", "_setMachineNum"},
          {"pushButton_getsealinfo", "设置印章信息成功", "_initStamp"},
          {"pushButton_openlight", "打开照明灯成功", "_openVideoCapLight"},
          {"pushButton_get_type", "设备已链接", "_isConnMachine"}}) {
        const int before = files.traces().size();
        EXPECT_EQ(press(button), success) << button;
        EXPECT_TRUE(files.traces().mid(before).contains(traced)) << button;
    }
    // What was set arrives: the machine number, the seal information, the edition.
    EXPECT_EQ(press("pushButton_GetNo"), "234234");
    EXPECT_EQ(press("pushButton_GetSealInof"), "234234");
    EXPECT_EQ(press("pushButton_xzb"), "下发机型版本成功");
    EXPECT_EQ(press("pushButton_GetType"), "OVM310");

    EXPECT_EQ(press("pushButton_DisConnet"), "连接已断开");
    EXPECT_EQ(press("pushButton_get_type"), "设备已断开");
}

TEST_F(Panel, StateModeAndFactoryButtonsNameWhatTheLibrarySaysAndChangesAskFirst)
{
    lib().checkPaperDoorState = lib().checkBackDoorState = lib().checkVideoState = [] { return g_result; };
    for (auto [button, open, closed] : {std::tuple{"pushButton_OpenPaperDoorSt", "门板打开", "门板关闭"},
                                        {"pushButton_OpenBackDoorSt", "侧门打开", "侧门关闭"},
                                        {"pushButton_camstatus", "摄像头打开", "摄像头关闭"}}) {
        for (auto [result, said] : {std::pair{1, QString(open)}, {2, QString(closed)}, {-8001, message(-8001)}}) {
            g_result = result;
            EXPECT_EQ(press(button), said);
        }
    }

    g_result = 0;
    lib().setMachineType = [](const char* type) { return g_text = type, record("setMachineType"); };
    lib().setFirmwareMode = [](int mode) { return record("setFirmwareMode", {mode}); };
    lib().getFirmwareMode = [] { return g_args.empty() ? -1 : g_args[0]; };
    lib().getFirmwareVer = [] { return "V2.1"; };
    lib().delSecurityCode = [] { return record("delSecurityCode"); };
    lib().delAlarmLog = [] { return record("delAlarmLog"); };
    lib().setMachineId = [](const char* id) { return g_text = id, record("setMachineId"); };
    // Whatever changes the machine asks first, and No leaves it.
    answering.answer = QMessageBox::No;
    for (const char* button :
         {"pushButton_ywb", "pushButton_xzb", "pushButton_wwk", "pushButton_wswjyc", "pushButton_CutDebug",
          "pushButton_del_safe", "pushButton_del_alarm", "pushButton_onekey"}) {
        press(button);
        ASSERT_EQ(answering.boxes.size(), 1) << button;
        EXPECT_EQ(std::pair(answering.boxes[0].icon, answering.boxes[0].buttons),
                  std::pair(QMessageBox::Question, QStringList{"是", "否"}))
            << button;
    }
    EXPECT_TRUE(g_calls.empty());
    answering.answer = QMessageBox::Yes;
    EXPECT_EQ(press("pushButton_ywb"), "下发机型版本成功");
    EXPECT_EQ(g_text, "OVM350");
    for (auto [button, mode, name] : {std::tuple{"pushButton_wwk", 0, "无外壳测试"},
                                      {"pushButton_wswjyc", 1, "无上位机压测"},
                                      {"pushButton_CutDebug", 2, "正式出厂"}}) {
        EXPECT_EQ(press(button), "设置成功");
        EXPECT_EQ(g_args, std::vector<int>{mode});
        EXPECT_EQ(window.windowTitle(), QString("奥凡印控仪测试工具--固件模式:%1-版本:V2.1").arg(name));
    }

    // The factory reset stops at the failing step; the alarm log's own failure does not spoil the result.
    const std::vector<std::string> all = {"setMachineId", "delSecurityCode", "delAlarmLog"};
    for (auto [failing, code, steps] : {std::tuple{"setMachineId", -401, 1}, {"delSecurityCode", -90, 2}, {"", 0, 3}}) {
        g_fails = {{"delAlarmLog", -401}, {failing, code}};
        g_calls.clear();
        EXPECT_EQ(press("pushButton_onekey"), code ? message(code) : QString("一键恢复出厂设置成功"));
        EXPECT_EQ(g_calls, std::vector<std::string>(all.begin(), all.begin() + steps));
    }
    EXPECT_EQ(g_text, std::string(20, '0'));
}

TEST_F(Panel, StampingButtonsTakeSealAngleAndTheClickedPositionAndFieldsWithNoFitValueSendNothing)
{
    g_fails = {{"setAcrossPageSeal", -401}};
    lib().setAcrossPageSeal = [] { return record("setAcrossPageSeal"); };
    lib().manualPrintStart = [](int seal, int x, int y, int a) { return record("manual", {seal, x, y, a}); };
    lib().manualPrintStartByLight = [](int seal, int x, int y, int a) { return record("light", {seal, x, y, a}); };
    lib().autoPrintStart = [](int seal, int x, int y, int a) { return record("auto", {seal, x, y, a}); };
    lib().checkManualPrintPara = [](int, int, int) { return 0; };
    lib().isWhitePaper = [](int, int) { return 0; };

    // No stamp at a place no one chose: not before a picture, nor after a click beside the sheet.
    const QString choose = "请先拍照，再在图片中的纸张上点选盖章位置";
    for (const char* button : {"pushButton_RgSeal", "pushButton_GmSeal", "pushButton_Gzpzkm"})
        EXPECT_EQ(press(button), choose) << button;
    ASSERT_TRUE(window.loadPicture(writePicture(files.file("small.jpg"), 600, 400)));
    clickAt(400, 300);  // grey: the picture is 240 x 160 at 40 %
    EXPECT_EQ(press("pushButton_RgSeal"), choose);
    EXPECT_TRUE(g_calls.empty());

    clickAt(100, 50);
    EXPECT_EQ(press("pushButton_RgSeal"), "用印成功");
    EXPECT_EQ(g_calls, std::vector<std::string>{"manual"});
    EXPECT_EQ(g_args, (std::vector<int>{1, 250, 125, 0}));

    tick("radioButton_3");
    tick("checkBox");
    edit("lineEditAngle")->setText("270");
    g_calls.clear();
    EXPECT_EQ(press("pushButton_GmSeal"), "光敏章用印成功");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"setAcrossPageSeal", "light"}));
    EXPECT_EQ(g_args, (std::vector<int>{3, 250, 125, 270}));

    edit("lineEditX")->setText("120");
    edit("lineEditY")->setText("80");
    g_result = -502;
    EXPECT_EQ(press("pushButton_ZdSeal"), message(-502));
    EXPECT_EQ(g_args, (std::vector<int>{3, 120, 80, 270}));

    // Fields that hold no fit number or text send nothing (the stamping buttons at a chosen point).
    lib().setMachineId = lib().setMachineNum = [](const char*) { return record("set"); };
    const QString angle = "转章角度须为0到360之间的整数";
    for (auto [field, text, button, said] :
         {std::tuple{"lineEditAngle", "abc", "pushButton_RgSeal", angle},
          {"lineEditAngle", "361", "pushButton_Gzpzkm", angle},
          {"lineEditY", "x1y", "pushButton_ZdSeal", QString("毫米Y须为0到297之间的整数")},
          {"lineEdit_ID", "", "pushButton_error", QString("错误码须为-9999到0之间的整数")},
          {"lineEdit_ID", "  ", "pushButton_setID", QString("请输入序列号")},
          {"lineEditsealinfo", "\t ", "pushButton_SetNo", QString("请输入设备编号")}}) {
        const QString kept = edit(field)->text();
        edit(field)->setText(text);
        g_calls.clear();
        EXPECT_EQ(press(button), said) << button << " " << text;
        EXPECT_EQ(answering.boxes.size(), 1);
        EXPECT_TRUE(g_calls.empty()) << button;
        edit(field)->setText(kept);
    }
    edit("lineEdit_ID")->setText("-401");
    EXPECT_EQ(press("pushButton_error"), message(-401));
}

// A reset takes seconds: it runs beside a window that keeps answering, with its panel disabled
// and a progress dialog counting the seconds.
TEST_F(Panel, LongCallsLeaveTheWindowResponsive)
{
    static std::atomic<bool> seen;
    seen = false;
    lib().initializationMachine = [] {
        for (int i = 0; i < 300 && !seen; ++i) QThread::msleep(10);
        return 0;
    };
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto* progress = window.findChild<QProgressDialog*>();
        if (progress && progress->isVisible() && progress->labelText().contains("已用时") &&
            !window.findChild<QWidget*>("centralWidget")->isEnabled())
            seen = true;
    });
    probe.start(5);
    EXPECT_EQ(press("pushButton_Reset"), "复位设备成功");
    EXPECT_TRUE(seen);
    EXPECT_TRUE(window.findChild<QWidget*>("centralWidget")->isEnabled());
}
