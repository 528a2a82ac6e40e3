// The tool on the workstation: the calibration dialog on a high-DPI screen, 调试图片 where the
// photos are.
#include <QAbstractButton>
#include <QScreen>

#include "check_dialog.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

// The form's 9 points as a 192-dpi screen draws them: every text whole, the dialog within the
// screen's free area (scrolling its values where they do not fit).
TEST(HighDpi, CalibrationDialogFitsTheScreenWithEveryTextWhole)
{
    TempFiles files;
    Operator answering;  // the read-back fails without a machine
    CheckDialog dialog;
    dialog.setFont(QFont("Noto Sans CJK SC", 18));
    dialog.show();
    QApplication::processEvents();
    const QRect room = dialog.screen()->availableGeometry();
    EXPECT_TRUE(room.contains(dialog.frameGeometry())) << dialog.width() << "x" << dialog.height();
    QStringList cut;
    for (QWidget* text : dialog.findChildren<QWidget*>()) {
        const bool whole = text->width() >= text->sizeHint().width() && text->height() >= text->sizeHint().height();
        if ((qobject_cast<QLabel*>(text) || qobject_cast<QAbstractButton*>(text)) && !whole) cut << text->objectName();
    }
    EXPECT_TRUE(cut.isEmpty()) << cut.join(' ').toStdString();
    QLineEdit* field = dialog.field("lineEditBZW");
    EXPECT_GT(field->contentsRect().width(), field->fontMetrics().horizontalAdvance("-32768"));
}

// 调试图片 opens where the library writes its photos and lists both types it writes them in.
TEST_F(ToolWindow, DebugPictureOpensInTheCutFolderForEveryPictureType)
{
    answering.fileNames << writePicture(files.file("cut/full.bmp"), 300, 200);
    click(&window, "pushButton_SeePic");
    ASSERT_EQ(answering.fileDialogs.size(), 1);
    EXPECT_EQ(QDir(answering.fileDialogs[0].first), QDir(files.file("cut")));
    const QString filters = answering.fileDialogs[0].second.join(';');
    for (const char* type : {"*.jpg", "*.bmp"}) EXPECT_TRUE(filters.contains(type)) << filters.toStdString();
    EXPECT_FALSE(window.findChild<QLabel*>("label_pic")->pixmap(Qt::ReturnByValue).isNull());
}
