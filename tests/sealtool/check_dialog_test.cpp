// The calibration dialog: read-back, the two send buttons and the backup file.
#include <array>
#include <cstring>
#include <vector>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include "calibration_file.h"
#include "check_dialog.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

std::vector<short> g_block;
int g_blockLength = 0;
int g_saveRfid = -1;
std::vector<short> g_rotX, g_rotY;

// Every value of the machine distinct, so that any field mixed up with another shows.
int fakeReadBack(short* longSide, short* shortSide, short* cx, short* cy, short* ox, short* oy)
{
    *longSide = 2970;
    *shortSide = 2100;
    for (int i = 0; i < 4; ++i) {
        cx[i] = static_cast<short>(100 + i);
        cy[i] = static_cast<short>(200 + i);
    }
    for (int i = 0; i < 24; ++i) {
        ox[i] = static_cast<short>(-300 - i);
        oy[i] = static_cast<short>(400 + i);
    }
    return 0;
}

class CalibrationDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_block.clear();
        g_rotX.clear();
        g_rotY.clear();
        lib().DownLoadBaseJZ = [](const unsigned char* data, int len, int saveRfid) {
            g_block.assign(len / 2, 0);
            std::memcpy(g_block.data(), data, static_cast<size_t>(len / 2 * 2));
            g_blockLength = len;
            g_saveRfid = saveRfid;
            return 0;
        };
        lib().DownLoadRotateJZ = [](const short* x, const short* y) {
            g_rotX.assign(x, x + 18);
            g_rotY.assign(y, y + 18);
            return 0;
        };
    }
    QString text(CheckDialog& dialog, const QString& name) { return dialog.field(name)->text(); }

    TempFiles files;
    LibraryScope restore;
    Operator answering;
};

}  // namespace

TEST_F(CalibrationDialog, OpeningWithoutAMachineSaysWhyAndLeavesTheFieldsEmpty)
{
    CheckDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "校准");
    ASSERT_EQ(answering.boxes.size(), 1);
    EXPECT_NE(answering.boxes[0].text, "获取校准信息成功");
    EXPECT_EQ(answering.boxes[0].title, "提示");
    for (const QString& name : calibrationFieldNames())
        EXPECT_TRUE(text(dialog, name).isEmpty()) << name.toStdString();
}

TEST_F(CalibrationDialog, ReadBackFillsEachFieldFromItsPlace)
{
    lib().GetAllJZInfo = fakeReadBack;
    CheckDialog dialog;
    EXPECT_TRUE(answering.boxes.isEmpty());  // no success box while opening
    EXPECT_EQ(text(dialog, "lineEditBZG"), "2970");
    EXPECT_EQ(text(dialog, "lineEditBZW"), "2100");
    EXPECT_EQ(text(dialog, "lineEdit_X1"), "100");
    EXPECT_EQ(text(dialog, "lineEdit_Y4"), "203");
    const int angles[] = {0, 90, 180, 270};
    for (int seal = 1; seal <= 6; ++seal) {
        for (int j = 0; j < 4; ++j) {
            const int index = 4 * (seal - 1) + j;
            EXPECT_EQ(text(dialog, sealField('X', seal, angles[j])), QString::number(-300 - index));
            EXPECT_EQ(text(dialog, sealField('Y', seal, angles[j])), QString::number(400 + index));
        }
    }
    dialog.findChild<QPushButton*>("pushButtonGetXZJZ")->click();
    EXPECT_EQ(answering.texts(), QStringList{"获取校准信息成功"});
}

TEST_F(CalibrationDialog, SendingConvertsEachFieldAndPlacesIt)
{
    lib().GetAllJZInfo = fakeReadBack;
    CheckDialog dialog;
    dialog.field("lineEditBZW")->setText("40000");
    dialog.field("lineEditBZG")->setText("12ab");
    dialog.field("lineEdit_X1")->setText("-32768");
    click(&dialog, "pushBtnDownLoadJZXX");
    EXPECT_EQ(answering.texts(), QStringList{"下发成功"});
    EXPECT_EQ(g_blockLength, 50);
    EXPECT_EQ(g_saveRfid, 0);
    ASSERT_EQ(g_block.size(), 25u);
    EXPECT_EQ(g_block[0], 0);
    EXPECT_EQ(g_block[1], 0);
    EXPECT_EQ(g_block[2], -32768);
    EXPECT_EQ(g_block[3], 200);
    EXPECT_EQ(g_block[9], 203);
    for (int seal = 1; seal <= 6; ++seal) {
        EXPECT_EQ(g_block[10 + 2 * (seal - 1)], -300 - 4 * (seal - 1));
        EXPECT_EQ(g_block[11 + 2 * (seal - 1)], 400 + 4 * (seal - 1));
    }
    EXPECT_EQ(g_block[22], 0);
    EXPECT_EQ(g_block[23], 0);
    EXPECT_EQ(g_block[24], 0);

    dialog.field("lineEdit_Y6_270")->setText("x");
    click(&dialog, "pushButtonDownXZJZ");
    ASSERT_EQ(g_rotX.size(), 18u);
    for (int seal = 1; seal <= 6; ++seal) {
        for (int k = 0; k < 3; ++k) {
            const int from = 4 * (seal - 1) + k + 1;
            EXPECT_EQ(g_rotX[3 * (seal - 1) + k], -300 - from);
            if (seal != 6 || k != 2) {
                EXPECT_EQ(g_rotY[3 * (seal - 1) + k], 400 + from);
            }
        }
    }
    EXPECT_EQ(g_rotY[17], 0);

    lib().DownLoadRotateJZ = [](const short*, const short*) { return -91; };
    click(&dialog, "pushButtonDownXZJZ");
    EXPECT_EQ(answering.texts().last(), QString::fromUtf8(geterrMsg(-91)));
}

TEST_F(CalibrationDialog, ValuesSentToTheMachineComeBack)
{
    ASSERT_EQ(connMachine("mt5934mt"), 0);
    lib() = Library{};  // the machine's own exchange throughout
    {
        CheckDialog dialog;
        answering.boxes.clear();
        int value = 1;
        for (const QString& name : calibrationFieldNames())
            dialog.field(name)->setText(QString::number(value++ * (name.contains('Y') ? -1 : 1)));
        click(&dialog, "pushBtnDownLoadJZXX");
        click(&dialog, "pushButtonDownXZJZ");
        EXPECT_EQ(answering.texts(), (QStringList{"下发成功", "下发成功"}));
    }
    CheckDialog again;
    int value = 1;
    for (const QString& name : calibrationFieldNames())
        EXPECT_EQ(again.field(name)->text(),
                  QString::number(value++ * (name.contains('Y') ? -1 : 1)))
            << name.toStdString();
}

TEST_F(CalibrationDialog, ExportThenImportRestoresEveryField)
{
    lib().GetAllJZInfo = fakeReadBack;
    CheckDialog dialog;
    QStringList odd = {"", "12ab", " 7", "a,b", "@x", "中文", "-0", "1;2", "\"q\"", "=", "#c"};
    QStringList written;
    int i = 0;
    for (const QString& name : calibrationFieldNames()) {
        const QString value = i < odd.size() ? odd[i] : QString::number(i * 7 - 100);
        dialog.field(name)->setText(value);
        written << value;
        ++i;
    }
    const QString file = files.file("backup.ini");
    answering.fileNames << file;
    click(&dialog, "pushButton_out");
    EXPECT_EQ(answering.texts(), QStringList{"导出所有校准数据成功"});
    EXPECT_EQ(answering.fileDialogTitles, QStringList{"导出校准数据"});

    QSettings check(file, QSettings::IniFormat);
    EXPECT_EQ(check.childGroups(), QStringList{"jiaozhun"});
    check.beginGroup("jiaozhun");
    EXPECT_EQ(check.childKeys().size(), 58);

    for (const QString& name : calibrationFieldNames())
        dialog.field(name)->setText("0");
    answering.fileNames << file;
    click(&dialog, "pushButton_in");
    EXPECT_EQ(answering.texts().last(), "导入校准数据成功");
    i = 0;
    for (const QString& name : calibrationFieldNames())
        EXPECT_EQ(dialog.field(name)->text(), written[i++]) << name.toStdString();

    // Cancelling either file dialog does nothing.
    answering.boxes.clear();
    click(&dialog, "pushButton_in");
    click(&dialog, "pushButton_out");
    EXPECT_TRUE(answering.boxes.isEmpty());
}

TEST_F(CalibrationDialog, ImportSucceedsOnlyWithTheShortSide)
{
    lib().GetAllJZInfo = fakeReadBack;
    CheckDialog dialog;
    const QString onlyCircle = files.file("circle.ini");
    {
        QSettings file(onlyCircle, QSettings::IniFormat);
        file.setValue("jiaozhun/lineEdit_X1", "555");
        file.setValue("jiaozhun/lineEditbzw", "1");  // names are case-sensitive
        file.setValue("other/lineEditBZW", "1");
    }
    answering.fileNames << onlyCircle;
    click(&dialog, "pushButton_in");
    EXPECT_EQ(answering.texts(), QStringList{"导入校准数据失败"});
    EXPECT_EQ(dialog.field("lineEdit_X1")->text(), "555");
    EXPECT_EQ(dialog.field("lineEditBZW")->text(), "2100");

    const QString onlyShortSide = files.file("short.ini");
    {
        QSettings file(onlyShortSide, QSettings::IniFormat);
        file.setValue("jiaozhun/lineEditBZW", "2222");
    }
    answering.fileNames << onlyShortSide;
    click(&dialog, "pushButton_in");
    EXPECT_EQ(answering.texts().last(), "导入校准数据成功");
    EXPECT_EQ(dialog.field("lineEditBZW")->text(), "2222");
    EXPECT_EQ(dialog.field("lineEditBZG")->text(), "2970");
    EXPECT_EQ(dialog.field("lineEdit_X1")->text(), "555");
}

namespace {

std::vector<short> g_flags;
int g_autoChecks = 0;

}  // namespace

TEST_F(CalibrationDialog, AutomaticCalibrationAsksFirstAndShowsTheLibrarysText)
{
    lib().GetAllJZInfo = fakeReadBack;
    g_autoChecks = 0;
    lib().AutoCheckSeal = [](char* text, short* flags) {
        ++g_autoChecks;
        g_flags.assign(flags, flags + 6);
        std::strcpy(text, "校准完成: 1,2,3号章");
        return -1;
    };
    CheckDialog dialog;
    answering.answer = QMessageBox::No;
    click(&dialog, "pushBtnAutoCheck");
    EXPECT_EQ(g_autoChecks, 0);
    ASSERT_EQ(answering.boxes.size(), 1);
    EXPECT_EQ(answering.boxes[0].text,
              "自动校准将覆盖现有的校准数据，请先做好备份，\r\n请确认是否已放正白纸，请确认是否继续？");
    EXPECT_EQ(answering.boxes[0].buttons.size(), 2);

    answering.answer = QMessageBox::Yes;
    dialog.findChild<QCheckBox*>("checkBox_2")->setChecked(true);
    dialog.findChild<QCheckBox*>("checkBox_5")->setChecked(true);
    click(&dialog, "pushBtnAutoCheck");
    EXPECT_EQ(g_autoChecks, 1);
    EXPECT_EQ(g_flags, (std::vector<short>{0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(answering.texts().last(), "校准完成: 1,2,3号章");
    EXPECT_EQ(dialog.field("lineEdit_X1")->text(), "100");  // not refreshed
}

TEST_F(CalibrationDialog, AutomaticCalibrationOnTheMachine)
{
    lib() = Library{};
    ASSERT_EQ(connMachine("mt5934mt"), 0);
    ASSERT_EQ(openVideoCap(), 0);
    CheckDialog dialog;
    answering.boxes.clear();
    answering.answer = QMessageBox::Yes;
    click(&dialog, "pushBtnAutoCheck");
    ASSERT_EQ(answering.boxes.size(), 2);
    EXPECT_FALSE(answering.boxes[1].text.isEmpty());
    // The new values are what the machine now reads back.
    answering.boxes.clear();
    click(&dialog, "pushButtonGetXZJZ");
    EXPECT_EQ(answering.texts(), QStringList{"获取校准信息成功"});
    EXPECT_NE(dialog.field("lineEdit_X1")->text(), "0");
}
