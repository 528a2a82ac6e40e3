// The stress test: photograph, stamp at a random place with the next seal at a random right
// angle, count, and again, on a worker thread until stopped or something fails. The worker
// touches no widget: its messages go through msgBox, the statistics line is queued to the label.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QStatusBar>
#include <QThread>

#include <opencv2/imgcodecs.hpp>

#include "busy_call.h"
#include "library.h"
#include "mainwindow.h"
#include "msg_box.h"
#include "text_args.h"
#include "ui_mainwindow.h"

using namespace sealtool;

namespace {

constexpr int kSlotCount = 6;
constexpr int kSlotTextSize = 100;
// In "1:1;2:0;3:1;...", slot i's presence digit sits at 2 + 4 * (i - 1).
constexpr int kFirstPresenceDigit = 2;
constexpr int kSlotTextStride = 4;
constexpr int kCameraRunning = 1;
// Stamps keep this far from every edge of the picture; smaller pictures leave no room.
constexpr int kEdgeMargin = 300;
constexpr int kMinPictureSide = 2 * kEdgeMargin;
constexpr int kPhotoCutOnly = 1;
constexpr int kEraseBorder = 1;
constexpr int kConfiguredQuality = 0;

int64_t monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString cyclePhotoPath(int number)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H:%M:%S", &local);
    return filesDir() + QStringLiteral("/cut/") + QString::fromLatin1(stamp) +
           QStringLiteral("-print%1.jpg").arg(number);
}

// The next slot holding a seal after the last one used, round the six slots; 1-based.
int nextSeal(const bool (&present)[kSlotCount], int lastSeal)
{
    for (int i = lastSeal % kSlotCount; i < kSlotCount; ++i)
        if (present[i]) return i + 1;
    for (int i = 0; i < kSlotCount; ++i)
        if (present[i]) return i + 1;
    return 0;
}

}  // namespace

void MainWindow::on_pushButton_ylcs_start_clicked()
{
    if (refuseWhileTesting()) return;
    // A finished run may still have its thread to collect.
    if (m_worker.joinable()) m_worker.join();
    m_successCount = 0;
    m_resetCount = 0;
    m_bStop = false;
    m_stopByButton = false;
    m_bTesting = true;
    m_worker = std::thread(&MainWindow::_RunYlTest, this);
}

void MainWindow::on_pushButton_ylcs_end_clicked()
{
    // The cycle in progress completes; the worker says "stopped" once it has, in one box.
    m_stopByButton = true;
    m_bStop = true;
    if (m_bTesting) statusBar()->showMessage(QStringLiteral("压力测试将在本次用印完成后停止"));
}

void* MainWindow::_RunYlTest(void* window)
{
    static_cast<MainWindow*>(window)->RunYlTest();
    return nullptr;
}

void MainWindow::RunYlTest() { endStressTest(runStressCycles()); }

void MainWindow::endStressTest(const std::optional<QString>& text)
{
    // The guarded buttons keep refusing until the operator has read why the run ended; a run
    // stopped for closing the window ends without a word.
    const bool closing = !text && m_closeAfterTest;
    if (!closing) msgBox::show(QStringLiteral("提示"), text ? *text : stopNotice(), MSGBOX_INFORMATION);
    m_bTesting = false;
    QMetaObject::invokeMethod(this, "onStressTestEnded", Qt::QueuedConnection);
}

std::optional<QString> MainWindow::runStressCycles()
{
    if (lib().isConnMachine() != 0 && lib().connMachine(kFactoryAccessCode) != 0)
        return QStringLiteral("压力测试失败, 连接印控仪失败");

    const TextArg machineNum(fromLibrary(lib().getMachineNum()));
    char slotText[kSlotTextSize] = {};
    if (const char* text = lib().querySloatInfo(machineNum.c_str())) std::strncpy(slotText, text, sizeof slotText - 1);
    if (std::strchr(slotText, '#')) return QStringLiteral("压力测试失败, 获取卡槽信息失败");
    bool present[kSlotCount] = {};
    bool anySeal = false;
    for (int i = 0; i < kSlotCount; ++i) {
        present[i] = slotText[kFirstPresenceDigit + kSlotTextStride * i] == '1';
        anySeal = anySeal || present[i];
    }
    if (!anySeal) return QStringLiteral("获取卡槽信息未检测到印章");

    if (lib().checkVideoState() != kCameraRunning && lib().openVideoCap() != 0)
        return QStringLiteral("压力测试失败, 打开摄像头失败");

    const int64_t startMs = monotonicMs();
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    int lastSeal = 0;
    int pictureNumber = 1;
    int width = 0;
    int height = 0;
    for (;;) {
        waitWhileHeld();
        if (m_bStop) return std::nullopt;
        const QByteArray path = cyclePhotoPath(pictureNumber++).toUtf8();
        if (lib().getImageFormat(path.constData(), kPhotoCutOnly, kEraseBorder, kConfiguredQuality) != 0)
            return QStringLiteral("采集图片失败");
        // The first picture decides the range of positions for the whole run.
        if (width <= 0) {
            const cv::Mat first = cv::imread(path.toStdString(), cv::IMREAD_COLOR);
            if (first.empty()) return QStringLiteral("采集图片失败");
            width = first.cols;
            height = first.rows;
            if (width < kMinPictureSide || height < kMinPictureSide)
                return QStringLiteral("压力测试失败, 图片小于%1像素: %2 x %3")
                    .arg(kMinPictureSide)
                    .arg(width)
                    .arg(height);
        }
        const int x = kEdgeMargin + std::rand() % (width - kMinPictureSide + 1);
        const int y = kEdgeMargin + std::rand() % (height - kMinPictureSide + 1);
        const int seal = nextSeal(present, lastSeal);
        lastSeal = seal;
        const int angle = 90 * (std::rand() % 4);

        const int code = lib().manualPrintStart(seal, x, y, angle);
        if (code != 0) return fromLibrary(lib().geterrMsg(code));
        ++m_successCount;
        if (lib().GetPrintReset() == 1) ++m_resetCount;

        const int successes = m_successCount;
        const double averageS = (monotonicMs() - startMs) / (successes * 1000.0);
        const QString line =
            QString::asprintf("成功:%d, 复位:%d, 平均用时:%0.2fs", successes, m_resetCount.load(), averageS);
        QMetaObject::invokeMethod(ui->label_ylcs, "setText", Qt::QueuedConnection, Q_ARG(QString, line));
    }
}

QString MainWindow::stopNotice() const
{
    return m_stopByButton ? QStringLiteral("压力测试，已停止") : QStringLiteral("压力测试完成");
}

void MainWindow::holdStressTest(bool hold)
{
    {
        std::lock_guard<std::mutex> lock(m_holdLock);
        m_hold = hold;
    }
    m_holdChanged.notify_all();
}

void MainWindow::waitWhileHeld()
{
    std::unique_lock<std::mutex> lock(m_holdLock);
    m_holdChanged.wait(lock, [this] { return !m_hold; });
}

void MainWindow::onStressTestEnded()
{
    // A new run may have started (and collected this thread) before this notice arrived.
    if (!m_bTesting && m_worker.joinable()) m_worker.join();
    statusBar()->clearMessage();
    if (m_closeAfterTest) close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A call under way holds this window's state until it returns.
    if (busyCallRunning()) {
        event->ignore();
        return;
    }
    if (!m_bTesting) {
        if (m_worker.joinable()) m_worker.join();
        event->accept();
        return;
    }
    // The worker uses this window to the end of its cycle: the window closes only after it.
    event->ignore();
    if (m_closeAfterTest) return;
    // No new cycle may start while the operator thinks it over: Yes means no further stamp.
    holdStressTest(true);
    if (confirm(QStringLiteral("压力测试正在进行，是否停止压力测试并在本次用印完成后关闭？"))) {
        m_closeAfterTest = true;
        m_bStop = true;
    }
    holdStressTest(false);
    // A run that ended by itself meanwhile has nothing left to wait for.
    if (m_closeAfterTest && !m_bTesting) onStressTestEnded();
}

void MainWindow::waitForStressTest()
{
    if (!m_worker.joinable()) return;
    m_bStop = true;
    holdStressTest(false);
    // The worker's last message needs this thread's event loop to be shown and closed.
    while (m_bTesting) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    m_worker.join();
}
