#include "mainwindow.h"

#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include "library.h"
#include "text_args.h"
#include "ui_mainwindow.h"

using namespace sealtool;

namespace {

const QString kBaseTitle = QStringLiteral("奥凡印控仪测试工具");
const QColor kPictureBackground(128, 128, 128, 255);

QString firmwareModeText(int mode)
{
    switch (mode) {
    case 0: return QStringLiteral("--固件模式:无外壳测试");
    case 1: return QStringLiteral("--固件模式:无上位机压测");
    case 2: return QStringLiteral("--固件模式:正式出厂");
    default: return QStringLiteral("--固件模式:未知");
    }
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->radioButton->setChecked(true);
    ui->lineEditAngle->setText(QStringLiteral("0"));
    ui->lineEditX->setText(QStringLiteral("100"));
    ui->lineEditY->setText(QStringLiteral("100"));
    restrictTo(ui->lineEditAngle, kAngleField);
    restrictTo(ui->lineEditX, kPageXField);
    restrictTo(ui->lineEditY, kPageYField);
    setMouseTracking(true);

    ui->label_pic->clear();
    QPalette palette = ui->label_pic->palette();
    palette.setColor(QPalette::All, QPalette::Window, kPictureBackground);
    ui->label_pic->setPalette(palette);
    ui->label_pic->setAutoFillBackground(true);

    ui->lineEditdoorinfo->setText(QStringLiteral("123123"));
    ui->lineEditsealinfo->setText(QStringLiteral("234234"));
    // Pointer movement over the picture has to reach the window without a button held.
    ui->centralWidget->setMouseTracking(true);
    ui->label_pic->setMouseTracking(true);
    ui->label_pic->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    waitForStressTest();
    delete ui;
}

void MainWindow::SetSelfTitle()
{
    const QString mode = firmwareModeText(lib().getFirmwareMode());
    const QString version = fromLibrary(lib().getFirmwareVer());
    setWindowTitle(kBaseTitle + mode + QStringLiteral("-版本:%1").arg(version));
}

int MainWindow::GetSealNo() const
{
    const QRadioButton* seals[] = {ui->radioButton,   ui->radioButton_2, ui->radioButton_3,
                                   ui->radioButton_4, ui->radioButton_5, ui->radioButton_6};
    for (int i = 0; i < 6; ++i)
        if (seals[i]->isChecked())
            return i + 1;
    return 0;
}

bool MainWindow::refuseWhileTesting()
{
    if (!m_bTesting)
        return false;
    tell(QStringLiteral("当前正在压力测试，请先停止"));
    return true;
}

void MainWindow::tell(const QString& text)
{
    QMessageBox::information(this, QStringLiteral("提示"), text);
}

void MainWindow::tellResult(int code, const QString& successText)
{
    tell(code == 0 ? successText : fromLibrary(lib().geterrMsg(code)));
}

bool MainWindow::confirm(const QString& question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), question,
                    QMessageBox::Yes | QMessageBox::No, this);
    // Chinese even where Qt's own translations are missing.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
