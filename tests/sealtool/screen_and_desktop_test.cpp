// The tool on the workstation: the calibration dialog on a high-DPI screen.
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
