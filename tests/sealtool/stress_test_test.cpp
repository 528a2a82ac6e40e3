// The stress test on its worker thread, and the photo buttons it shares the camera with.
#include <atomic>
#include <mutex>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QLabel>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "mainwindow.h"
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
std::atomic<int> g_cameraChecks{0};
std::atomic<int> g_holdAtStamp{0};  // the stamp (1-based) that waits for g_release
std::atomic<bool> g_release{false};
std::atomic<bool> g_holdCameraCheck{false};
const char* g_slots = "1:1;2:0;3:1;4:0;5:0;6:0";
int g_photoWidth = 0;
int g_photoHeight = 0;

int recordStamp(int seal, int x, int y, int angle)
{
    int count;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_stamps.push_back({seal, x, y, angle});
        count = static_cast<int>(g_stamps.size());
    }
    if (count == g_holdAtStamp)
        while (!g_release)
            QThread::msleep(5);
    return manualPrintStart(seal, x, y, angle);
}

std::vector<Stamp> stamps()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_stamps;
}

class StressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_stamps.clear();
        g_photos = 0;
        g_cameraChecks = 0;
        g_holdAtStamp = 0;
        g_release = false;
        g_holdCameraCheck = false;
        g_slots = "1:1;2:0;3:1;4:0;5:0;6:0";
        lib().querySloatInfo = [](const char*) { return g_slots; };
        lib().manualPrintStart = recordStamp;
        lib().checkVideoState = [] {
            ++g_cameraChecks;
            while (g_holdCameraCheck)
                QThread::msleep(5);
            return checkVideoState();
        };
        lib().getImageFormat = [](const char* path, int type, int erase, int quality) {
            ++g_photos;
            return getImageFormat(path, type, erase, quality);
        };
        window.show();
    }
    void TearDown() override
    {
        g_release = true;
        g_holdCameraCheck = false;
        // The worker must be gone before the recording functions are taken away.
        EXPECT_TRUE(waitUntil([&] { return !window.stressTestRunning(); }, 60000));
    }
    bool waitForBox(const QString& text, int ms = 60000)
    {
        return waitUntil([&] { return answering.texts().contains(text); }, ms);
    }

    TempFiles files;
    LibraryScope restore;
    Operator answering;
    MainWindow window;
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

    click(&window, "pushButton_ylcs_end");
    EXPECT_EQ(answering.texts().last(), "压力测试，已停止");
    g_release = true;
    ASSERT_TRUE(waitForBox("压力测试完成"));
    EXPECT_TRUE(waitUntil([&] { return !window.stressTestRunning(); }));
    EXPECT_EQ(answering.boxes.last().title, "提示");

    const std::vector<Stamp> made = stamps();
    ASSERT_EQ(made.size(), 4u);
    EXPECT_EQ(g_photos, 4);
    const QStringList photos = QDir(files.file("cut")).entryList({"*-print*.jpg"});
    ASSERT_FALSE(photos.isEmpty());
    const cv::Mat first = cv::imread(files.file("cut/" + photos.first()).toStdString());
    const int seals[] = {1, 3, 1, 3};
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i].seal, seals[i]);
        EXPECT_EQ(made[i].angle % 90, 0);
        EXPECT_GE(made[i].angle, 0);
        EXPECT_LE(made[i].angle, 270);
        EXPECT_GE(made[i].x, 300);
        EXPECT_LT(made[i].x, first.cols - 299);
        EXPECT_GE(made[i].y, 300);
        EXPECT_LT(made[i].y, first.rows - 299);
    }
    const QString line = window.findChild<QLabel*>("label_ylcs")->text();
    EXPECT_TRUE(QRegularExpression("^成功:4, 复位:\\d, 平均用时:\\d+\\.\\d\\ds$").match(line).hasMatch())
        << line.toStdString();
}

TEST_F(StressTest, StopBeforeTheFirstCycleTakesNoPhoto)
{
    g_holdCameraCheck = true;
    click(&window, "pushButton_ylcs_start");
    ASSERT_TRUE(waitUntil([] { return g_cameraChecks > 0; }));
    click(&window, "pushButton_ylcs_end");
    g_holdCameraCheck = false;
    ASSERT_TRUE(waitForBox("压力测试完成"));
    EXPECT_EQ(g_photos, 0);
    EXPECT_TRUE(stamps().empty());
}

TEST_F(StressTest, RunsEndWithTheReason)
{
    // Each run ends before the camera: the slot text is a failure, or shows no seal.
    const struct {
        const char* slotText;
        const char* reason;
    } cases[] = {
        {"-@#-401", "压力测试失败, 获取卡槽信息失败"},
        {"1:0;2:0;3:0;4:0;5:0;6:0", "获取卡槽信息未检测到印章"},
        {"", "获取卡槽信息未检测到印章"},
    };
    for (const auto& c : cases) {
        g_slots = c.slotText;
        click(&window, "pushButton_ylcs_start");
        ASSERT_TRUE(waitForBox(c.reason)) << c.slotText;
        ASSERT_TRUE(waitUntil([&] { return !window.stressTestRunning(); }));
        answering.boxes.clear();
    }
    EXPECT_EQ(g_cameraChecks, 0);

    // A failed stamp ends the run with the library's message.
    g_slots = "1:1;2:0;3:1;4:0;5:0;6:0";
    lib().manualPrintStart = [](int, int, int, int) { return -611; };
    click(&window, "pushButton_ylcs_start");
    EXPECT_TRUE(waitForBox(QString::fromUtf8(geterrMsg(-611))));
}

TEST_F(StressTest, RefusesPicturesWithoutRoomForTheMargins)
{
    lib().checkVideoState = [] { return 1; };
    for (const QSize size : {QSize(599, 2000), QSize(2000, 599)}) {
        g_photoWidth = size.width();
        g_photoHeight = size.height();
        lib().getImageFormat = [](const char* path, int, int, int) {
            writePicture(path, g_photoWidth, g_photoHeight);
            return 0;
        };
        answering.boxes.clear();
        click(&window, "pushButton_ylcs_start");
        ASSERT_TRUE(waitUntil([&] { return !answering.boxes.isEmpty(); }));
        EXPECT_TRUE(answering.boxes.last().text.startsWith("压力测试失败, 图片小于600像素"));
        ASSERT_TRUE(waitUntil([&] { return !window.stressTestRunning(); }));
    }
    // A photo that cannot be read back ends the run instead of looping.
    lib().getImageFormat = [](const char* path, int, int, int) {
        QFile::remove(path);  // the runs above may have used the same name within the second
        return 0;
    };
    click(&window, "pushButton_ylcs_start");
    EXPECT_TRUE(waitForBox("采集图片失败"));
    EXPECT_TRUE(stamps().empty());
}

TEST_F(StressTest, GuardedButtonsRefuseWhileItRunsAndTheOthersWork)
{
    g_holdAtStamp = 1;
    click(&window, "pushButton_ylcs_start");
    ASSERT_TRUE(waitUntil([] { return stamps().size() == 1; }));

    const QStringList unguarded = {"pushButton_error",   "pushButton_openlight",
                                   "pushButton_closelight", "pushButton_safe",
                                   "pushButton_del_safe", "pushButton_con_safe",
                                   "pushButton_SeePic",  "pushButton_ylcs_end"};
    const QString refusal = "当前正在压力测试，请先停止";
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        const QString name = button->objectName();
        if (name == "pushButton_ylcs_end")
            continue;  // pressed last: it would end the run
        answering.boxes.clear();
        button->click();
        if (unguarded.contains(name)) {
            EXPECT_FALSE(answering.texts().contains(refusal)) << name.toStdString();
        } else {
            EXPECT_EQ(answering.texts(), QStringList{refusal}) << name.toStdString();
        }
    }
    EXPECT_EQ(answering.fileDialogTitles, QStringList{"打开图片"});

    // Clicks in the picture are ignored as well.
    ASSERT_TRUE(window.loadPicture(writePicture(files.file("p.jpg"), 3000, 2000)));
    const QPoint at = window.findChild<QLabel*>("label_pic")->mapTo(&window, QPoint(100, 50));
    QMouseEvent moveTo(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &moveTo);
    QMouseEvent pressAt(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &pressAt);
    EXPECT_EQ(window.stampPosition(), QPoint(0, 0));

    click(&window, "pushButton_ylcs_end");
    g_release = true;
    EXPECT_TRUE(waitForBox("压力测试完成"));
}

TEST_F(StressTest, ClosingWaitsForTheCycleAndTheOperator)
{
    g_holdAtStamp = 1;
    click(&window, "pushButton_ylcs_start");
    ASSERT_TRUE(waitUntil([] { return stamps().size() == 1; }));

    answering.answer = QMessageBox::No;
    window.close();
    EXPECT_TRUE(window.isVisible());
    answering.answer = QMessageBox::Yes;
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.stressTestRunning());
    answering.answer = QMessageBox::Ok;

    g_release = true;
    ASSERT_TRUE(waitForBox("压力测试完成"));
    EXPECT_TRUE(waitUntil([&] { return !window.isVisible(); }));
    EXPECT_FALSE(window.stressTestRunning());
    EXPECT_EQ(stamps().size(), 1u);
}
