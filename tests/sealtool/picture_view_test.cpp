// The picture view: pointer line, wheel zoom about the pointer, right-button pan, left clicks that
// choose the stamp position.
#include <QPixmap>
#include <QWheelEvent>

#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

int g_legal = 0, g_white = 0;

class PictureView : public ToolWindow {
protected:
    QLabel* label(const char* name) { return window.findChild<QLabel*>(name); }
    void wheel(int gx, int gy, int delta, int times = 1)
    {
        const QPointF pos(onPicture(gx, gy));
        QWheelEvent event(pos, window.mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        for (int i = 0; i < times; ++i) QApplication::sendEvent(&window, &event);
    }
    QSize shownSize() { return label("label_pic")->pixmap(Qt::ReturnByValue).size(); }
    QSize area() { return label("label_pic")->size(); }
    QColor shownAt(int gx, int gy)
    {
        return label("label_pic")->pixmap(Qt::ReturnByValue).toImage().pixelColor(gx, gy);
    }
    void load(int width, int height)
    {
        ASSERT_TRUE(window.loadPicture(writePicture(files.file("picture.jpg"), width, height)));
    }
};

}  // namespace

TEST_F(PictureView, PointerLineAndWheelZoomAboutThePointerWithinItsLimits)
{
    moveTo(100, 50);  // nothing happens without a picture
    wheel(100, 50, 120);
    EXPECT_EQ(std::tuple(window.zoom(), window.pointerPosition()), std::tuple(40, QPoint(0, 0)));

    load(3000, 2000);
    EXPECT_EQ(shownSize(), area());
    moveTo(400, 300);
    ASSERT_EQ(window.pointerPosition(), QPoint(1000, 750));
    wheel(400, 300, 120);
    EXPECT_EQ(std::tuple(window.zoom(), window.pan(), window.pointerPosition()),
              std::tuple(60, QPoint(200, 150), QPoint(1000, 750)));
    EXPECT_EQ(label("label_bar")->text(), "1000, 750像素,  zoom:60%");
    wheel(400, 300, 120, 11);
    EXPECT_EQ(window.zoom(), 200);
    wheel(400, 300, -120, 11);
    EXPECT_EQ(window.zoom(), 20);
    // 600 x 400 at 20 %: smaller than the area, shown from its corner one pixel short.
    EXPECT_EQ(std::tuple(window.pan(), shownSize()), std::tuple(QPoint(0, 0), QSize(599, 399)));
}

TEST_F(PictureView, ClickTakesThePositionWhateverTheVerdictsButNotOnTheEdge)
{
    load(3000, 2000);
    const int w = area().width(), h = area().height();
    for (auto [x, y] : {std::pair{0, 50}, {w, 50}, {100, 0}, {100, h}}) clickAt(x, y);
    EXPECT_EQ(window.stampPosition(), QPoint(0, 0));
    // No photo taken by the library yet: it calls the place illegal and cannot judge the paper.
    clickAt(100, 50);
    EXPECT_EQ(label("label_xy")->text(), "x:250, y:125，非法, 盖章区域未知");
    EXPECT_EQ(window.stampPosition(), QPoint(250, 125));

    lib().checkManualPrintPara = [](int, int, int) { return g_legal; };
    lib().isWhitePaper = [](int, int) { return g_white; };
    clickAt(200, 100);
    EXPECT_EQ(label("label_xy")->text(), "x:500, y:250, 合法, 盖章区域空白");
    g_white = 1;
    clickAt(200, 100);
    EXPECT_EQ(label("label_xy")->text(), "x:500, y:250, 合法, 盖章区域非空白");

    // A cross marks the position; starting a pan with the right button moves neither.
    const QColor mark(255, 0, 0);
    EXPECT_EQ(std::tuple(shownAt(200, 100), shownAt(205, 100), shownAt(200, 95)), std::tuple(mark, mark, mark));
    EXPECT_NE(shownAt(300, 200), mark);
    clickAt(300, 200, Qt::RightButton);
    clickAt(300, 200, Qt::MiddleButton);
    EXPECT_EQ(window.stampPosition(), QPoint(500, 250));
    EXPECT_EQ(shownAt(200, 100), mark);
}
