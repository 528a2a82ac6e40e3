// The operation panel: each button calls the library and reports the result; calls that wait for
// the machine's mechanism run beside the window (busy_call.h). Buttons that would disturb a
// running stress test refuse while it runs; the ones that cannot (light, security code, error
// text, debug picture, stop) stay usable. Buttons that change what the machine keeps ask first.
#include <QMessageBox>

#include "check_dialog.h"
#include "library.h"
#include "mainwindow.h"
#include "text_args.h"
#include "ui_mainwindow.h"

using namespace sealtool;

namespace {

constexpr const char* kBusinessEdition = "OVM350";
constexpr const char* kAdministrativeEdition = "OVM310";
constexpr const char* kFactoryMachineId = "00000000000000000000";
constexpr int kFirmwareNoCase = 0;
constexpr int kFirmwareSoakTest = 1;
constexpr int kFirmwareRelease = 2;
constexpr int kOpen = 1;

QString firmwareModeName(int mode)
{
    switch (mode) {
    case kFirmwareNoCase: return QStringLiteral("“无外壳调试”");
    case kFirmwareSoakTest: return QStringLiteral("“无程序压测”");
    default: return QStringLiteral("“正式固件”");
    }
}
constexpr int kClosed = 2;

// Text results are copied at once: the next library call may overwrite them.
QString textOf(const char* result) { return fromLibrary(result); }

}  // namespace

// ---- connection and identity ---------------------------------------------------------------

void MainWindow::on_pushButton_Connet_clicked()
{
    if (refuseWhileTesting()) return;
    const int code = busy([] { return lib().connMachine(kFactoryAccessCode); });
    if (code == 0) {
        SetSelfTitle();
        const char* type = lib().getMachineType();
        m_machineType = QByteArray(type ? type : "");
    }
    tellResult(code, QStringLiteral("连接成功"));
}

void MainWindow::on_pushButton_DisConnet_clicked()
{
    if (refuseWhileTesting()) return;
    lib().disconnMachine();
    tell(QStringLiteral("连接已断开"));
}

void MainWindow::on_pushButton_con_safe_clicked()
{
    const TextArg code(ui->lineEdit_ID->text());
    tellResult(busy([&code] { return lib().connMachine(code.c_str()); }), QStringLiteral("安全码连接成功"));
}

void MainWindow::on_pushButton_get_type_clicked()
{
    if (refuseWhileTesting()) return;
    const int state = lib().isConnMachine();
    tell(state == 0 ? QStringLiteral("设备已链接") : QStringLiteral("设备已断开"));
}

void MainWindow::on_pushButton_GetNo_clicked()
{
    if (refuseWhileTesting()) return;
    tell(textOf(lib().getMachineNum()));
}

void MainWindow::on_pushButton_SetNo_clicked()
{
    if (refuseWhileTesting()) return;
    const auto text = filledIn(ui->lineEditsealinfo, QStringLiteral("设备编号"));
    if (!text) return;
    const TextArg number(*text);
    tellResult(lib().setMachineNum(number.c_str()), QStringLiteral("设置设备编号成功"));
}

void MainWindow::on_pushButton_GetType_clicked()
{
    if (refuseWhileTesting()) return;
    tell(textOf(lib().getMachineType()));
}

void MainWindow::on_pushButton_ywb_clicked()
{
    if (refuseWhileTesting()) return;
    if (!confirm(QStringLiteral("下发业务版将改变设备的机型版本，是否继续？"))) return;
    tellResult(lib().setMachineType(kBusinessEdition), QStringLiteral("下发机型版本成功"));
}

void MainWindow::on_pushButton_xzb_clicked()
{
    if (refuseWhileTesting()) return;
    if (!confirm(QStringLiteral("下发行政版将改变设备的机型版本，是否继续？"))) return;
    tellResult(lib().setMachineType(kAdministrativeEdition), QStringLiteral("下发机型版本成功"));
}

void MainWindow::on_pushButton_getID_clicked()
{
    if (refuseWhileTesting()) return;
    tell(textOf(lib().getMachineId()));
}

void MainWindow::on_pushButton_setID_clicked()
{
    if (refuseWhileTesting()) return;
    // The machine takes a blank serial number and forgets the one it had.
    const auto text = filledIn(ui->lineEdit_ID, QStringLiteral("序列号"));
    if (!text) return;
    const TextArg id(*text);
    tellResult(lib().setMachineId(id.c_str()), QStringLiteral("设置成功"));
}

void MainWindow::on_pushButton_safe_clicked()
{
    const auto text = filledIn(ui->lineEdit_ID, QStringLiteral("安全码"));
    if (!text) return;
    const TextArg code(*text);
    tellResult(lib().setSecurityCode(code.c_str()), QStringLiteral("设置安全码成功"));
}

void MainWindow::on_pushButton_del_safe_clicked()
{
    if (!confirm(QStringLiteral("删除安全码后，不需安全码即可连接设备，是否继续？"))) return;
    tellResult(lib().delSecurityCode(), QStringLiteral("删除安全码成功"));
}

void MainWindow::on_pushButton_onekey_clicked()
{
    if (refuseWhileTesting()) return;
    if (!confirm(QStringLiteral("一键恢复出厂设置将清除设备序列号、安全码和报警信息，是否继续？"))) return;
    // Each step only after the one before succeeded; the alarm log's own result does not count.
    int code = lib().setMachineId(kFactoryMachineId);
    if (code == 0) code = lib().delSecurityCode();
    if (code == 0) lib().delAlarmLog();
    tellResult(code, QStringLiteral("一键恢复出厂设置成功"));
}

void MainWindow::on_pushButton_error_clicked()
{
    if (const auto code = numberIn(ui->lineEdit_ID, kErrorCodeField)) tell(textOf(lib().geterrMsg(*code)));
}

// ---- firmware mode ---------------------------------------------------------------------------

void MainWindow::setFirmwareMode(int mode)
{
    if (refuseWhileTesting()) return;
    if (!confirm(QStringLiteral("将设备的固件模式设置为%1，是否继续？").arg(firmwareModeName(mode)))) return;
    const int code = lib().setFirmwareMode(mode);
    if (code == 0) SetSelfTitle();
    tellResult(code, QStringLiteral("设置成功"));
}

void MainWindow::on_pushButton_wwk_clicked() { setFirmwareMode(kFirmwareNoCase); }

void MainWindow::on_pushButton_wswjyc_clicked() { setFirmwareMode(kFirmwareSoakTest); }

void MainWindow::on_pushButton_CutDebug_clicked() { setFirmwareMode(kFirmwareRelease); }

// ---- doors, alarms, light, locks -------------------------------------------------------------

void MainWindow::on_pushButton_OpenPaperDoor_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().openPaperDoor(); }), QStringLiteral("打开纸板门成功"));
}

void MainWindow::on_pushButton_OpenPaperDoorSt_clicked()
{
    if (refuseWhileTesting()) return;
    const int state = lib().checkPaperDoorState();
    if (state == kOpen)
        tell(QStringLiteral("门板打开"));
    else if (state == kClosed)
        tell(QStringLiteral("门板关闭"));
    else
        warn(textOf(lib().geterrMsg(state)));
}

void MainWindow::on_pushButton_BackDoor_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().openMachineBackDoor(); }), QStringLiteral("打开侧门成功"));
}

void MainWindow::on_pushButton_OpenBackDoorSt_clicked()
{
    if (refuseWhileTesting()) return;
    const int state = lib().checkBackDoorState();
    if (state == kOpen)
        tell(QStringLiteral("侧门打开"));
    else if (state == kClosed)
        tell(QStringLiteral("侧门关闭"));
    else
        warn(textOf(lib().geterrMsg(state)));
}

void MainWindow::on_pushButton_backdoor_error_clicked()
{
    if (refuseWhileTesting()) return;
    const TextArg reason(ui->lineEditdoorinfo->text());
    tellResult(lib().openMachineBackDoorUnNormalForProduct(reason.c_str()), QStringLiteral("异常开锁成功"));
}

void MainWindow::on_pushButton_get_backdoor_error_clicked()
{
    if (refuseWhileTesting()) return;
    ui->lineEdit->setText(textOf(lib().readOpenBackDoorExceptionInfo()));
}

void MainWindow::on_pushButton_del_backdoor_error_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(lib().delOpenBackDoorExceptionInfo(), QStringLiteral("删除异常开锁信息成功"));
}

void MainWindow::on_pushButton_OpenAlarm_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(lib().openFMAlarm(), QStringLiteral("开启蜂鸣成功"));
}

void MainWindow::on_pushButton_CloseAlarm_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(lib().closeFMAlarm(), QStringLiteral("关闭蜂鸣成功"));
}

void MainWindow::on_pushButton_OpenAlarm_FD_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(lib().openMoveAlarm(), QStringLiteral("开启防盗报警成功"));
}

void MainWindow::on_pushButton_CloseAlarm_FD_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(lib().closeMoveAlarm(), QStringLiteral("关闭防盗报警成功"));
}

void MainWindow::on_pushButton_inq_alarm_clicked()
{
    if (refuseWhileTesting()) return;
    QMessageBox::information(this, QStringLiteral("报警信息"), textOf(lib().inqAlarmLog()));
}

void MainWindow::on_pushButton_del_alarm_clicked()
{
    if (refuseWhileTesting()) return;
    if (!confirm(QStringLiteral("删除报警信息后无法恢复，是否继续？"))) return;
    tellResult(lib().delAlarmLog(), QStringLiteral("删除报警信息成功"));
}

void MainWindow::on_pushButton_openlight_clicked()
{
    if (lib().openVideoCapLight() == 0)
        tell(QStringLiteral("打开照明灯成功"));
    else
        warn(QStringLiteral("打开照明灯失败"));
}

void MainWindow::on_pushButton_closelight_clicked()
{
    if (lib().closeVideoCapLight() == 0)
        tell(QStringLiteral("关闭照明灯成功"));
    else
        warn(QStringLiteral("关闭照明灯失败"));
}

void MainWindow::on_pushButton_unlock_clicked()
{
    if (refuseWhileTesting()) return;
    const QCheckBox* boxes[] = {ui->checkBox_lock_1, ui->checkBox_lock_2, ui->checkBox_lock_3,
                                ui->checkBox_lock_4, ui->checkBox_lock_5, ui->checkBox_lock_6};
    char seals = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (boxes[bit]->isChecked()) seals = static_cast<char>(seals | (1 << bit));
    if (seals == 0) {
        tell(QStringLiteral("请选择需要解锁的印章"));
        return;
    }
    tellResult(lib().unlockSeal(&seals), QStringLiteral("解锁印章成功"));
}

// ---- seals and RFID --------------------------------------------------------------------------

void MainWindow::on_pushButton_GetRFID_clicked()
{
    if (refuseWhileTesting()) return;
    ui->lineEdit->setText(textOf(lib().getRFID()));
}

void MainWindow::on_pushButton_SlotInfo_clicked()
{
    if (refuseWhileTesting()) return;
    // The number shares the library's result buffer with the answer: copy it first.
    const TextArg number(textOf(lib().getMachineNum()));
    ui->lineEdit->setText(textOf(lib().querySloatInfo(number.c_str())));
}

void MainWindow::on_pushButton_GetSealInof_clicked()
{
    if (refuseWhileTesting()) return;
    const TextArg number(textOf(lib().getMachineNum()));
    tell(textOf(lib().querySealInfo(number.c_str())));
}

void MainWindow::on_pushButton_getsealinfo_clicked()
{
    if (refuseWhileTesting()) return;
    const auto text = filledIn(ui->lineEditsealinfo, QStringLiteral("印章信息"));
    if (!text) return;
    const TextArg number(textOf(lib().getMachineNum()));
    const TextArg info(*text);
    tellResult(lib().initStamp(number.c_str(), info.c_str()), QStringLiteral("设置印章信息成功"));
}

void MainWindow::on_pushButton_bind_rfid_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().BindRFIDAndSlot(1); }), QStringLiteral("印章与槽位绑定成功"));
}

void MainWindow::on_pushButton_unbind_rfid_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().BindRFIDAndSlot(0); }), QStringLiteral("印章与槽位解绑成功"));
}

// ---- stamping and calibration ----------------------------------------------------------------

std::optional<int> MainWindow::numberIn(const QLineEdit* edit, const NumberField& field)
{
    const std::optional<int> number = readNumber(edit->text(), field);
    if (!number) tell(numberRequired(field));
    return number;
}

bool MainWindow::refuseWithoutChosenPoint()
{
    // Before that the position is (0, 0), a corner no one aimed at.
    if (!m_srcImg.empty() && m_pointChosen) return false;
    tell(QStringLiteral("请先拍照，再在图片中的纸张上点选盖章位置"));
    return true;
}

std::optional<int> MainWindow::stampAtClick(int (*print)(int, int, int, int))
{
    if (refuseWithoutChosenPoint()) return std::nullopt;
    const std::optional<int> angle = numberIn(ui->lineEditAngle, kAngleField);
    if (!angle) return std::nullopt;
    const bool acrossPage = ui->checkBox->isChecked();
    const int seal = GetSealNo();
    const int x = m_stampX;
    const int y = m_stampY;
    return busy([=] {
        if (acrossPage) lib().setAcrossPageSeal();
        return print(seal, x, y, *angle);
    });
}

void MainWindow::on_pushButton_RgSeal_clicked()
{
    if (refuseWhileTesting()) return;
    if (const auto code = stampAtClick(lib().manualPrintStart)) tellResult(*code, QStringLiteral("用印成功"));
}

void MainWindow::on_pushButton_GmSeal_clicked()
{
    if (refuseWhileTesting()) return;
    if (const auto code = stampAtClick(lib().manualPrintStartByLight))
        tellResult(*code, QStringLiteral("光敏章用印成功"));
}

void MainWindow::on_pushButton_ZdSeal_clicked()
{
    if (refuseWhileTesting()) return;
    // Every field is checked before the across-page request: a refusal sends nothing at all.
    const auto x = numberIn(ui->lineEditX, kPageXField);
    const auto y = x ? numberIn(ui->lineEditY, kPageYField) : std::nullopt;
    const auto angle = y ? numberIn(ui->lineEditAngle, kAngleField) : std::nullopt;
    if (!angle) return;
    const bool acrossPage = ui->checkBox->isChecked();
    const int seal = GetSealNo();
    tellResult(busy([=] {
                   if (acrossPage) lib().setAcrossPageSeal();
                   return lib().autoPrintStart(seal, *x, *y, *angle);
               }),
               QStringLiteral("自动用印成功"));
}

void MainWindow::on_pushButton_Reset_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().initializationMachine(); }, QStringLiteral("正在复位设备")),
               QStringLiteral("复位设备成功"));
}

void MainWindow::on_pushButton_CheckSet_clicked()
{
    if (refuseWhileTesting()) return;
    if (lib().isConnMachine() != 0) {
        tell(QStringLiteral("请先链接用印机在操作"));
        return;
    }
    CheckDialog dialog(nullptr);
    dialog.exec();
}
