// Photo, click and stamp on the simulated machine, as an engineer does it at the desk.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

class Photo : public ToolWindow {
protected:
    QStringList cutPictures()
    {
        return QDir(files.file("cut")).entryList({"*.jpg"}, QDir::Files, QDir::Time | QDir::Reversed);
    }
    cv::Mat newestPicture()
    {
        return cv::imread(files.file("cut/" + cutPictures().last()).toStdString(), cv::IMREAD_GRAYSCALE);
    }
};

}  // namespace

TEST_F(Photo, PhotoClickStampAndTheImpressionInTheNextPhoto)
{
    EXPECT_EQ(press("pushButton_Photo"), QString::fromUtf8(geterrMsg(getImageFormat("x.jpg", 1, 1, 0))));
    EXPECT_EQ(window.pictureSize(), QSize(0, 0));

    ASSERT_EQ(press("pushButton_Connet"), "连接成功");
    ASSERT_EQ(press("pushButton"), "打开摄像头成功");
    EXPECT_EQ(press("pushButton_camstatus"), "摄像头打开");
    EXPECT_EQ(press("pushButton_Photo"), QString());
    const QSize size = window.pictureSize();
    ASSERT_GT(size.width(), 1000);
    EXPECT_FALSE(cutPictures().isEmpty());

    // The middle of the sheet: a legal place.
    const QPoint middle(size.width() * 40 / 100 / 2, size.height() * 40 / 100 / 2);
    clickAt(middle.x(), middle.y());
    const QPoint stamp = window.stampPosition();
    EXPECT_NE(stamp, QPoint(0, 0));
    EXPECT_TRUE(window.findChild<QLabel*>("label_xy")->text().contains(", 合法, "))
        << window.findChild<QLabel*>("label_xy")->text().toStdString();
    const cv::Mat before = newestPicture();

    EXPECT_EQ(press("pushButton_RgSeal"), "用印成功");
    EXPECT_EQ(press("pushButton_Photo"), QString());
    // The new ink lies about the clicked point.
    const cv::Mat after = newestPicture();
    ASSERT_EQ(after.size(), before.size());
    cv::Mat darker;
    cv::subtract(before, after, darker);
    cv::threshold(darker, darker, 60, 255, cv::THRESH_BINARY);
    const int inked = cv::countNonZero(darker);
    const cv::Rect around(stamp.x() - 300, stamp.y() - 300, 600, 600);
    const int inkedAround = cv::countNonZero(darker(around & cv::Rect(0, 0, after.cols, after.rows)));
    EXPECT_GT(inked, 500);
    EXPECT_GT(inkedAround, inked * 9 / 10);

    // Stamp, photograph and open the door, timed.
    const QString timed = press("pushButton_Gzpzkm");
    EXPECT_TRUE(timed.startsWith("-用印成功, 耗时:") && timed.endsWith("S")) << timed.toStdString();

    EXPECT_EQ(press("pushButton_CloseCamera"), "关闭摄像头成功");
    EXPECT_EQ(press("pushButton_camstatus"), "摄像头关闭");
    // A failed photo leaves the picture that was there.
    EXPECT_NE(press("pushButton_Photo"), QString());
    EXPECT_EQ(window.pictureSize(), size);
}
