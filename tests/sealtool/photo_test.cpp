// Photo, click and stamp on the simulated machine, as an engineer does it at the desk.
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

using Photo = ToolWindow;

// (Where the impression lands is the library's; the browser test finds it in the next photo.)
TEST_F(Photo, PhotoClickAndStampAndAFailedPhotoKeepsThePicture)
{
    EXPECT_EQ(press("pushButton_Photo"), QString::fromUtf8(geterrMsg(getImageFormat("x.jpg", 1, 1, 0))));
    EXPECT_EQ(window.pictureSize(), QSize(0, 0));

    ASSERT_EQ(press("pushButton_Connet"), "连接成功");
    ASSERT_EQ(press("pushButton"), "打开摄像头成功");
    EXPECT_EQ(press("pushButton_Photo"), QString());
    const QSize size = window.pictureSize();
    ASSERT_GT(size.width(), 1000);

    clickAt(size.width() * 40 / 100 / 2, size.height() * 40 / 100 / 2);  // the middle of the sheet
    EXPECT_EQ(press("pushButton_RgSeal"), "用印成功");
    // Stamp, photograph and open the door, timed.
    const QString timed = press("pushButton_Gzpzkm");
    EXPECT_TRUE(timed.startsWith("-用印成功, 耗时:") && timed.endsWith("S")) << timed.toStdString();

    EXPECT_EQ(press("pushButton_CloseCamera"), "关闭摄像头成功");
    EXPECT_EQ(press("pushButton_camstatus"), "摄像头关闭");
    // A failed photo leaves the picture that was there.
    EXPECT_NE(press("pushButton_Photo"), QString());
    EXPECT_EQ(window.pictureSize(), size);
}
