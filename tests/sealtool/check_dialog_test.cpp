// The calibration dialog: read-back, sending to the machine and the backup file.
#include <cstring>

#include <QFileInfo>

#include "calibration_file.h"
#include "check_dialog.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

// Each test runs in a process of its own.
short g_longSide = 2970;
int g_sent = 0;

// Every value of the machine distinct, so that any field mixed up with another shows.
int fakeReadBack(short* longSide, short* shortSide, short* cx, short* cy, short* ox, short* oy)
{
    *longSide = g_longSide, *shortSide = 2100;
    for (int i = 0; i < 4; ++i) cx[i] = static_cast<short>(100 + i), cy[i] = static_cast<short>(200 + i);
    for (int i = 0; i < 24; ++i) ox[i] = static_cast<short>(-300 - i), oy[i] = static_cast<short>(400 + i);
    return 0;
}

class CalibrationDialog : public ::testing::Test {
protected:
    void SetUp() override { lib().GetAllJZInfo = fakeReadBack; }
    QString text(CheckDialog& dialog, const QString& name) { return dialog.field(name)->text(); }

    TempFiles files;
    LibraryScope restore;
    Operator answering;
};

}  // namespace

TEST_F(CalibrationDialog, ValuesSentToTheMachineComeBack)
{
    ASSERT_EQ(connMachine("mt5934mt"), 0);
    lib() = Library{};  // the machine's own exchange throughout
    const auto valueOf = [](const QString& name, int i) { return QString::number(name.contains('Y') ? -i : i); };
    {
        CheckDialog dialog;
        answering.boxes.clear();
        int value = 1;
        for (const QString& name : calibrationFieldNames()) dialog.field(name)->setText(valueOf(name, value++));
        click(&dialog, "pushBtnDownLoadJZXX");
        click(&dialog, "pushButtonDownXZJZ");
        EXPECT_EQ(answering.texts(), (QStringList{"下发成功", "下发成功"}));
    }
    CheckDialog again;
    int value = 1;
    for (const QString& name : calibrationFieldNames())
        EXPECT_EQ(again.field(name)->text(), valueOf(name, value++)) << name.toStdString();
}

TEST_F(CalibrationDialog, ExportThenImportRestoresEveryField)
{
    CheckDialog dialog;
    QStringList written;
    for (const QString& name : calibrationFieldNames()) {
        written << QString::number(written.size() * 7 - 100);
        dialog.field(name)->setText(written.last());
    }
    // Saved without a suffix, found again as an INI file.
    answering.fileNames << files.file("backup");
    click(&dialog, "pushButton_out");
    EXPECT_EQ(answering.texts(), QStringList{"导出所有校准数据成功"});
    ASSERT_TRUE(QFileInfo::exists(files.file("backup.ini")));
    // The same name again: the dialog asks before replacing the backup, and No keeps it.
    dialog.field("lineEditBZW")->setText("1");
    answering.answer = QMessageBox::No;
    answering.boxes.clear();
    answering.fileNames << files.file("backup");
    click(&dialog, "pushButton_out");
    ASSERT_EQ(answering.boxes.size(), 1);
    EXPECT_TRUE(answering.boxes[0].text.contains("backup.ini")) << answering.boxes[0].text.toStdString();
    answering.answer = QMessageBox::Ok;

    // The import brings back what the first export wrote, lineEditBZW's included.
    for (const QString& name : calibrationFieldNames()) dialog.field(name)->setText("0");
    answering.fileNames << files.file("backup.ini");
    click(&dialog, "pushButton_in");
    EXPECT_EQ(answering.texts().last(), "导入校准数据成功");
    int i = 0;
    for (const QString& name : calibrationFieldNames()) EXPECT_EQ(dialog.field(name)->text(), written[i++]);

    answering.boxes.clear();  // cancelling either file dialog does nothing
    click(&dialog, "pushButton_in");
    click(&dialog, "pushButton_out");
    EXPECT_TRUE(answering.boxes.isEmpty());
}

// The read-back fills each field from its place; fields outside their range send nothing; a
// successful automatic calibration shows what the machine now holds.
TEST_F(CalibrationDialog, ReadBackRangeChecksAndAutomaticCalibration)
{
    lib().DownLoadBaseJZ = [](const unsigned char*, int, int) { return ++g_sent, 0; };
    lib().DownLoadRotateJZ = [](const short*, const short*) { return ++g_sent, 0; };
    CheckDialog dialog;
    EXPECT_TRUE(answering.boxes.isEmpty());  // no success box while opening
    EXPECT_EQ(QStringList({text(dialog, "lineEditBZG"), text(dialog, "lineEditBZW"), text(dialog, "lineEdit_X1"),
                           text(dialog, "lineEdit_Y4")}),
              QStringList({"2970", "2100", "100", "203"}));
    const int angles[] = {0, 90, 180, 270};
    for (int index = 0; index < 24; ++index) {
        EXPECT_EQ(text(dialog, sealField('X', index / 4 + 1, angles[index % 4])), QString::number(-300 - index));
        EXPECT_EQ(text(dialog, sealField('Y', index / 4 + 1, angles[index % 4])), QString::number(400 + index));
    }
    click(&dialog, "pushButtonGetXZJZ");
    EXPECT_EQ(answering.texts(), QStringList{"获取校准信息成功"});

    for (auto [name, typed, button, said] :
         {std::tuple{"lineEdit_X1_0", "abc", "pushBtnDownLoadJZXX", "1号章0度x坐标须为-999到999之间的整数"},
          {"lineEditBZW", "", "pushBtnDownLoadJZXX", "A4纸短边须为-32768到32767之间的整数"},
          {"lineEditBZG", "32768", "pushBtnDownLoadJZXX", "A4纸长边须为-32768到32767之间的整数"},
          {"lineEdit_X2", "1e3", "pushButton_out", "圆2：x坐标须为-32768到32767之间的整数"},
          {"lineEdit_Y6_270", "5000", "pushButtonDownXZJZ", "6号章270度y坐标须为-999到999之间的整数"}}) {
        const QString kept = text(dialog, name);
        dialog.field(name)->setText(typed);
        EXPECT_EQ(answering.press(&dialog, button), said);
        EXPECT_EQ(answering.boxes.size(), 1);
        EXPECT_EQ(answering.boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(g_sent, 0) << name;
        dialog.field(name)->setText(kept);
    }
    EXPECT_TRUE(QDir(files.file("")).entryList({"*.ini"}).isEmpty());  // the export asked for no file

    // A successful automatic calibration shows what the machine now holds; a failed one leaves the
    // fields. (The progress shown meanwhile is the panel's, pinned there.)
    answering.answer = QMessageBox::Yes;
    static int autoResult;
    lib().AutoCheckSeal = [](char* text, short*) { return std::strcpy(text, "done"), g_longSide = 2971, autoResult; };
    for (auto [result, shown] : {std::pair{-1, "2970"}, {0, "2971"}}) {
        autoResult = result;
        click(&dialog, "pushBtnAutoCheck");
        EXPECT_EQ(text(dialog, "lineEditBZG"), shown);
        g_longSide = 2970;
    }
    EXPECT_EQ(answering.texts().last(), "done");
}
