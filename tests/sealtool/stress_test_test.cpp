// The stress test on its worker thread, and the photo buttons it shares the camera with.
#include <atomic>
#include <mutex>
#include <vector>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStatusBar>

#include <opencv2/imgcodecs.hpp>

#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

struct Stamp {
    int seal, x, y, angle;
};
std::mutex g_lock;
std::vector<Stamp> g_stamps;
std::atomic<int> g_photos{0};
std::atomic<int> g_holdAtStamp{0};  // the stamp (1-based) that waits for g_release
std::atomic<bool> g_release{false};
std::atomic<bool> g_machineStamps{true};  // false: only recorded, for runs that must be quick

std::vector<Stamp> stamps()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_stamps;
}

// Each test runs in a process of its own: the recordings above start empty.
class StressTest : public ToolWindow {
protected:
    void SetUp() override
    {
        lib().querySloatInfo = [](const char*) { return "1:1;2:0;3:1;4:0;5:0;6:0"; };
        lib().manualPrintStart = [](int seal, int x, int y, int angle) {
            {
                std::lock_guard<std::mutex> hold(g_lock);
                g_stamps.push_back({seal, x, y, angle});
            }
            while (stamps().size() == static_cast<size_t>(g_holdAtStamp) && !g_release) QThread::msleep(5);
            return g_machineStamps ? manualPrintStart(seal, x, y, angle) : 0;
        };
        lib().getImageFormat = [](const char* path, int type, int erase, int quality) {
            return ++g_photos, getImageFormat(path, type, erase, quality);
        };
        ToolWindow::SetUp();
    }
    // The worker must be gone before the recording functions are taken away.
    void TearDown() override
    {
        g_release = true;
        EXPECT_TRUE(waitUntil([&] { return !window.stressTestRunning(); }, 60000));
    }
    bool waitForBox(const QString& text)
    {
        return waitUntil([&] { return answering.texts().contains(text); }, 60000);
    }
};

}  // namespace

TEST_F(StressTest, CyclesTheSeatedSealsUntilStopped)
{
    // A stop without a run says nothing, and the next start clears it.
    click(&window, "pushButton_ylcs_end");
    EXPECT_TRUE(answering.boxes.isEmpty());
    g_holdAtStamp = 4;
    click(&window, "pushButton_ylcs_start");
    ASSERT_TRUE(waitUntil([] { return stamps().size() == 4; }));
    EXPECT_TRUE(window.stressTestRunning());
    // A second start while it runs only says so.
    click(&window, "pushButton_ylcs_start");
    EXPECT_EQ(answering.texts().last(), "当前正在压力测试，请先停止");

    // Stopped by its button: one box, once the stamp in progress is done.
    answering.boxes.clear();
    click(&window, "pushButton_ylcs_end");
    EXPECT_EQ(window.statusBar()->currentMessage(), "压力测试将在本次用印完成后停止");
    g_release = true;
    ASSERT_TRUE(waitForBox("压力测试，已停止"));
    EXPECT_TRUE(waitUntil([&] { return !window.stressTestRunning(); }));
    EXPECT_EQ(answering.texts(), QStringList{"压力测试，已停止"});

    const std::vector<Stamp> made = stamps();
    ASSERT_EQ(made.size(), 4u);
    EXPECT_EQ(g_photos, 4);
    const QStringList photos = QDir(files.file("cut")).entryList({"*-print*.jpg"});
    ASSERT_FALSE(photos.isEmpty());
    const cv::Mat first = cv::imread(files.file("cut/" + photos.first()).toStdString());
    // The seated seals in turn, at quarter turns, 300 pixels inside the picture.
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i].seal, i % 2 ? 3 : 1);
        EXPECT_TRUE(made[i].angle % 90 == 0 && made[i].angle >= 0 && made[i].angle <= 270) << made[i].angle;
        EXPECT_TRUE(made[i].x >= 300 && made[i].x < first.cols - 299) << made[i].x;
        EXPECT_TRUE(made[i].y >= 300 && made[i].y < first.rows - 299) << made[i].y;
    }
    const QString line = window.findChild<QLabel*>("label_ylcs")->text();
    EXPECT_TRUE(QRegularExpression("^成功:4, 复位:\\d, 平均用时:\\d+\\.\\d\\ds$").match(line).hasMatch())
        << line.toStdString();
}

TEST_F(StressTest, ClosingStopsAfterTheStampInProgressAndClosesWithoutAFurtherBox)
{
    g_machineStamps = false;
    g_holdAtStamp = 2;
    click(&window, "pushButton_ylcs_start");
    ASSERT_TRUE(waitUntil([] { return stamps().size() == 2; }));
    // The stamp in progress ends while the question is open; no further one may begin.
    QElapsedTimer asked;
    answering.answer = QMessageBox::Yes;
    answering.onBox = [&](QMessageBox*) {
        if (!asked.isValid()) asked.start(), g_release = true;
        return stamps().size() > 2 || asked.elapsed() > 1000;
    };
    window.close();
    EXPECT_TRUE(waitUntil([&] { return !window.isVisible(); }));
    EXPECT_FALSE(window.stressTestRunning());
    EXPECT_EQ(stamps().size(), 2u);
    EXPECT_EQ(answering.texts(), QStringList{"压力测试正在进行，是否停止压力测试并在本次用印完成后关闭？"});
}
