// The picture view: pointer line, wheel zoom about the pointer, right-button pan, and clicks that
// choose the stamp position.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "mainwindow.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

int g_legal = 0;
int g_white = 0;

class PictureView : public ::testing::Test {
protected:
    void SetUp() override { window.show(); }

    QLabel* label(const char* name) { return window.findChild<QLabel*>(name); }
    QPoint at(int gx, int gy) { return label("label_pic")->mapTo(&window, QPoint(gx, gy)); }

    void move(int gx, int gy, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent event(QEvent::MouseMove, at(gx, gy), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    }
    void press(int gx, int gy, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent event(QEvent::MouseButtonPress, at(gx, gy), button, button, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    }
    void wheel(int gx, int gy, int delta)
    {
        const QPointF pos(at(gx, gy));
        QWheelEvent event(pos, window.mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&window, &event);
    }
    qint64 shownPixmap() { return label("label_pic")->pixmap(Qt::ReturnByValue).cacheKey(); }
    QSize shownSize() { return label("label_pic")->pixmap(Qt::ReturnByValue).size(); }
    void load(int width, int height)
    {
        ASSERT_TRUE(window.loadPicture(writePicture(files.file("picture.jpg"), width, height)));
    }

    TempFiles files;
    LibraryScope restore;
    Operator answering;
    MainWindow window;
};

}  // namespace

TEST_F(PictureView, NothingHappensWithoutAPicture)
{
    move(100, 50);
    wheel(100, 50, 120);
    press(100, 50);
    EXPECT_EQ(window.zoom(), 40);
    EXPECT_EQ(window.pointerPosition(), QPoint(0, 0));
    EXPECT_EQ(label("label_xy")->text(), "盖章坐标");
    EXPECT_EQ(label("label_pic")->palette().color(QPalette::Window), QColor(128, 128, 128));
}

TEST_F(PictureView, PointerLineInSourcePixels)
{
    load(3000, 2000);
    EXPECT_EQ(shownSize(), QSize(821, 581));
    move(100, 50);
    EXPECT_EQ(window.pointerPosition(), QPoint(250, 125));
    EXPECT_EQ(label("label_bar")->text(), "250, 125像素,  zoom:40%");
    // The edge of the area does not count.
    move(0, 50);
    EXPECT_EQ(window.pointerPosition(), QPoint(250, 125));
}

TEST_F(PictureView, WheelZoomsAboutThePointerWithinItsLimits)
{
    load(3000, 2000);
    move(400, 300);
    ASSERT_EQ(window.pointerPosition(), QPoint(1000, 750));

    wheel(400, 300, 120);
    EXPECT_EQ(window.zoom(), 60);
    EXPECT_EQ(window.pan(), QPoint(200, 150));
    EXPECT_EQ(window.pointerPosition(), QPoint(1000, 750));
    EXPECT_EQ(label("label_bar")->text(), "1000, 750像素,  zoom:60%");

    for (int i = 0; i < 10; ++i)
        wheel(400, 300, 120);
    EXPECT_EQ(window.zoom(), 200);
    const qint64 atMost = shownPixmap();
    wheel(400, 300, 120);
    EXPECT_EQ(window.zoom(), 200);
    EXPECT_EQ(shownPixmap(), atMost);  // nothing rescaled or redrawn

    for (int i = 0; i < 10; ++i)
        wheel(400, 300, -120);
    EXPECT_EQ(window.zoom(), 20);
    // 600 x 400 at 20 %: smaller than the area, shown from its corner one pixel short.
    EXPECT_EQ(window.pan(), QPoint(0, 0));
    EXPECT_EQ(shownSize(), QSize(599, 399));
    const qint64 atLeast = shownPixmap();
    wheel(400, 300, -120);
    EXPECT_EQ(window.zoom(), 20);
    EXPECT_EQ(shownPixmap(), atLeast);
}

TEST_F(PictureView, RightButtonPansWithinThePicture)
{
    load(3000, 2000);  // 1200 x 800 at 40 %
    press(300, 300, Qt::RightButton);
    move(200, 250, Qt::RightButton);
    EXPECT_EQ(window.pan(), QPoint(100, 50));
    // The pointer line is worked out before the view moves.
    EXPECT_EQ(window.pointerPosition(), QPoint(500, 625));

    // Dragging without the right button moves nothing.
    move(100, 100, Qt::LeftButton);
    EXPECT_EQ(window.pan(), QPoint(100, 50));

    press(700, 500, Qt::RightButton);
    move(10, 10, Qt::RightButton);
    EXPECT_EQ(window.pan(), QPoint(1200 - 821 - 1, 800 - 581 - 1));
    press(10, 10, Qt::RightButton);
    move(800, 570, Qt::RightButton);
    EXPECT_EQ(window.pan(), QPoint(0, 0));
}

TEST_F(PictureView, SmallPictureIsShownOneShortAndDoesNotPan)
{
    load(500, 400);  // 200 x 160 at 40 %
    EXPECT_EQ(shownSize(), QSize(199, 159));
    press(150, 150, Qt::RightButton);
    move(20, 20, Qt::RightButton);
    EXPECT_EQ(window.pan(), QPoint(0, 0));
    EXPECT_EQ(shownSize(), QSize(199, 159));
}

TEST_F(PictureView, ClickTakesThePositionWhateverTheVerdicts)
{
    load(3000, 2000);
    // No photo taken by the library yet: it calls the place illegal and cannot judge the paper.
    move(100, 50);
    press(100, 50);
    EXPECT_EQ(label("label_xy")->text(), "x:250, y:125，非法, 盖章区域未知");
    EXPECT_EQ(window.stampPosition(), QPoint(250, 125));

    lib().checkManualPrintPara = [](int, int, int) { return g_legal; };
    lib().isWhitePaper = [](int, int) { return g_white; };
    g_legal = 0;
    g_white = 0;
    move(200, 100);
    press(200, 100);
    EXPECT_EQ(label("label_xy")->text(), "x:500, y:250, 合法, 盖章区域空白");
    g_white = 1;
    press(200, 100);
    EXPECT_EQ(label("label_xy")->text(), "x:500, y:250, 合法, 盖章区域非空白");
    EXPECT_EQ(window.stampPosition(), QPoint(500, 250));
}

TEST_F(PictureView, ClicksOnTheEdgeOrOffThePictureAreIgnored)
{
    load(3000, 2000);
    move(100, 50);
    press(0, 50);
    press(821, 50);
    press(100, 0);
    press(100, 581);
    EXPECT_EQ(window.stampPosition(), QPoint(0, 0));
    EXPECT_EQ(label("label_xy")->text(), "盖章坐标");

    // At 200 % the first column of the area is still source column 0: no position there.
    for (int i = 0; i < 8; ++i)
        wheel(1, 50, 120);
    ASSERT_EQ(window.zoom(), 200);
    move(1, 50);
    ASSERT_EQ(window.pointerPosition().x(), 0);
    press(1, 50);
    EXPECT_EQ(window.stampPosition(), QPoint(0, 0));
}

TEST_F(PictureView, UnreadablePictureLeavesThePreviousOne)
{
    load(3000, 2000);
    const qint64 shown = shownPixmap();
    EXPECT_FALSE(window.loadPicture(files.file("missing.jpg")));
    QFile junk(files.file("junk.jpg"));
    junk.open(QIODevice::WriteOnly);
    junk.write("not a picture");
    junk.close();
    EXPECT_FALSE(window.loadPicture(files.file("junk.jpg")));
    ASSERT_EQ(answering.boxes.size(), 2);
    EXPECT_TRUE(answering.boxes[0].text.contains("missing.jpg"));
    EXPECT_EQ(window.pictureSize(), QSize(3000, 2000));
    EXPECT_EQ(shownPixmap(), shown);
    move(100, 50);
    EXPECT_EQ(window.pointerPosition(), QPoint(250, 125));
}
