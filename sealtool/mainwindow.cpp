#include "mainwindow.h"

#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QPushButton>
#include <QRadioButton>

#include "busy_call.h"
#include "library.h"
#include "screen_room.h"
#include "text_args.h"
#include "ui_mainwindow.h"
#include "window_icon.h"

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

    setWindowIcon(sealtool::windowIcon());
    scrollPanel();
    fitIntoScreen();
}

void MainWindow::scrollPanel()
{
    // On a screen lower than the panel the panel scrolls, so that every button and the answer
    // field stay reachable; the picture keeps the rest of the room.
    QLayoutItem* column = ui->mainLayout->takeAt(1);
    auto* panel = new QWidget;
    column->layout()->setParent(nullptr);
    panel->setLayout(column->layout());
    auto* scroll = new QScrollArea(ui->centralWidget);
    scroll->setObjectName(QStringLiteral("panelScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(panel);
    const int scrollBar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    scroll->setMinimumWidth(panel->sizeHint().width() + scrollBar);
    ui->mainLayout->addWidget(scroll);
    ui->mainLayout->setStretch(1, 0);
}

void MainWindow::fitIntoScreen()
{
    // The form's size is a wish: on a small or high-DPI screen the window opens within the
    // screen's free area (the picture takes what is left), centred on it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    resize(withinScreen(*this, size()).expandedTo(minimumSizeHint()));
    move(room.center() - QPoint(width() / 2, height() / 2) - QPoint(0, kFrameAllowance.height() / 4));
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
        if (seals[i]->isChecked()) return i + 1;
    return 0;
}

bool MainWindow::refuseWhileTesting()
{
    if (!m_bTesting) return false;
    tell(QStringLiteral("当前正在压力测试，请先停止"));
    return true;
}

void MainWindow::tell(const QString& text) { QMessageBox::information(this, QStringLiteral("提示"), text); }

void MainWindow::warn(const QString& text) { QMessageBox::warning(this, QStringLiteral("提示"), text); }

void MainWindow::tellResult(int code, const QString& successText)
{
    if (code == 0)
        tell(successText);
    else
        warn(fromLibrary(lib().geterrMsg(code)));
}

int MainWindow::busy(const std::function<int()>& call, const QString& progress)
{
    return runBusy(this, ui->centralWidget, call, progress);
}

std::optional<QString> MainWindow::filledIn(const QLineEdit* edit, const QString& name)
{
    const QString text = edit->text();
    if (text.trimmed().isEmpty()) {
        tell(QStringLiteral("请输入%1").arg(name));
        return std::nullopt;
    }
    return text;
}

bool MainWindow::confirm(const QString& question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), question, QMessageBox::Yes | QMessageBox::No, this);
    // Chinese even where Qt's own translations are missing.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
