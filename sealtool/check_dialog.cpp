#include "check_dialog.h"

#include <array>
#include <cstring>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>

#include "busy_call.h"
#include "calibration_file.h"
#include "library.h"
#include "screen_room.h"
#include "text_args.h"
#include "ui_checkdialog.h"

using namespace sealtool;

namespace {

constexpr int kRotatedAngles[] = {90, 180, 270};
constexpr int kAllAngles[] = {0, 90, 180, 270};

QString backupFolder() { return filesDir() + QLatin1Char('/'); }

const QString kBackupFilter = QStringLiteral("校准数据文件(*.ini)");
const QString kBackupSuffix = QStringLiteral("ini");
constexpr int kAutoCheckTextSize = 1024;
// The longest value a field takes.
const QString kWidestValue = QStringLiteral("-32768");
constexpr int kHintedLetters = 17;

}  // namespace

CheckDialog::CheckDialog(QWidget* parent) : QDialog(parent), ui(new Ui::CheckDialog)
{
    ui->setupUi(this);
    for (const QString& name : calibrationFieldNames()) {
        auto* edit = findChild<QLineEdit*>(name);
        restrictTo(edit, calibrationNumber(name));
        m_fields.insert(name, edit);
    }
    m_bInit = true;
    setWindowTitle(QStringLiteral("校准"));
    on_pushButtonGetXZJZ_clicked();
    m_bInit = false;
}

CheckDialog::~CheckDialog() { delete ui; }

QLineEdit* CheckDialog::field(const QString& name) const { return m_fields.value(name); }

void CheckDialog::showEvent(QShowEvent* event)
{
    fitToContents();
    QDialog::showEvent(event);
}

void CheckDialog::fitToContents()
{
    // Sized when shown, for the font it shows with (a high-DPI screen's is larger): each field
    // as wide as the longest value, the whole form where the screen has room, else the screen's
    // free area with the form scrolling in it.
    for (QLineEdit* edit : qAsConst(m_fields)) {
        // A line edit's own hint is its frame and margins around 17 'x'.
        const QFontMetrics digits = edit->fontMetrics();
        edit->setFixedWidth(edit->sizeHint().width() - kHintedLetters * digits.horizontalAdvance(QLatin1Char('x')) +
                            digits.horizontalAdvance(kWidestValue));
    }
    const QSize whole = ui->valuesPanel->sizeHint();
    QSize fitted = withinScreen(*this, whole);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ui->valuesScroll);
    if (fitted.height() < whole.height()) fitted.rwidth() += scrollBar;
    if (fitted.width() < whole.width()) fitted.rheight() += scrollBar;
    resize(withinScreen(*this, fitted));
}

void CheckDialog::tell(const QString& text) { QMessageBox::information(this, QStringLiteral("提示"), text); }

void CheckDialog::warn(const QString& text) { QMessageBox::warning(this, QStringLiteral("提示"), text); }

void CheckDialog::tellResult(int code, const QString& successText)
{
    if (code == 0)
        tell(successText);
    else
        warn(fromLibrary(lib().geterrMsg(code)));
}

bool CheckDialog::readFields(const QStringList& names, short* values)
{
    for (const QString& name : names) {
        const NumberField number = calibrationNumber(name);
        const std::optional<int> value = readNumber(field(name)->text(), number);
        if (!value) {
            warn(numberRequired(number));
            return false;
        }
        *values++ = static_cast<short>(*value);
    }
    return true;
}

void CheckDialog::setField(const QString& name, int number) { field(name)->setText(QString::number(number)); }

void CheckDialog::on_pushButtonGetXZJZ_clicked()
{
    if (readBack() == 0 && !m_bInit) tell(QStringLiteral("获取校准信息成功"));
}

int CheckDialog::readBack()
{
    short longSide = 0;
    short shortSide = 0;
    std::array<short, kCircleCount> circleX{};
    std::array<short, kCircleCount> circleY{};
    std::array<short, kSealCount * 4> sealX{};
    std::array<short, kSealCount * 4> sealY{};
    const int code =
        lib().GetAllJZInfo(&longSide, &shortSide, circleX.data(), circleY.data(), sealX.data(), sealY.data());
    if (code != 0) {
        warn(fromLibrary(lib().geterrMsg(code)));
        return code;
    }
    setField(QStringLiteral("lineEditBZG"), longSide);
    setField(QStringLiteral("lineEditBZW"), shortSide);
    for (int circle = 1; circle <= kCircleCount; ++circle) {
        setField(circleField('X', circle), circleX[circle - 1]);
        setField(circleField('Y', circle), circleY[circle - 1]);
    }
    for (int seal = 1; seal <= kSealCount; ++seal) {
        for (int j = 0; j < 4; ++j) {
            const int index = 4 * (seal - 1) + j;
            setField(sealField('X', seal, kAllAngles[j]), sealX[index]);
            setField(sealField('Y', seal, kAllAngles[j]), sealY[index]);
        }
    }
    return 0;
}

void CheckDialog::on_pushBtnAutoCheck_clicked()
{
    const auto answer = QMessageBox::question(
        this, QStringLiteral("提示"),
        QStringLiteral("自动校准将覆盖现有的校准数据，请先做好备份，\r\n请确认是否已放正白纸，请确认是否继续？"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes) return;
    const QCheckBox* photosensitive[] = {ui->checkBox_1, ui->checkBox_2, ui->checkBox_3,
                                         ui->checkBox_4, ui->checkBox_5, ui->checkBox_6};
    std::array<short, kSealCount> flags{};
    for (int i = 0; i < kSealCount; ++i) flags[i] = photosensitive[i]->isChecked() ? 1 : 0;
    // The library explains itself in the text, success or not.
    std::array<char, kAutoCheckTextSize> text{};
    // About half a minute of stamping and photographing: the dialog shows it counting.
    const int code = runBusy(
        this, this, [&text, &flags] { return lib().AutoCheckSeal(text.data(), flags.data()); },
        QStringLiteral("正在自动校准"));
    text.back() = '\0';
    if (code == 0)
        tell(QString::fromUtf8(text.data()));
    else
        warn(QString::fromUtf8(text.data()));
    // The machine now holds new values: the fields must not offer the old ones for sending.
    if (code == 0) readBack();
}

void CheckDialog::on_pushBtnDownLoadJZXX_clicked()
{
    // A4 sides, four circles, then each seal's 0-degree correction; the last three stay 0.
    QStringList names{QStringLiteral("lineEditBZW"), QStringLiteral("lineEditBZG")};
    for (int circle = 1; circle <= kCircleCount; ++circle)
        names << circleField('X', circle) << circleField('Y', circle);
    for (int seal = 1; seal <= kSealCount; ++seal) names << sealField('X', seal, 0) << sealField('Y', seal, 0);
    std::array<short, kBaseBlockValues> values{};
    if (!readFields(names, values.data())) return;
    std::array<unsigned char, sizeof values> block{};
    std::memcpy(block.data(), values.data(), sizeof values);
    tellResult(lib().DownLoadBaseJZ(block.data(), static_cast<int>(block.size()), 0), QStringLiteral("下发成功"));
}

void CheckDialog::on_pushButtonDownXZJZ_clicked()
{
    // Seal by seal, 90, 180 and 270 degrees.
    QStringList xNames;
    QStringList yNames;
    for (int seal = 1; seal <= kSealCount; ++seal) {
        for (int degrees : kRotatedAngles) {
            xNames << sealField('X', seal, degrees);
            yNames << sealField('Y', seal, degrees);
        }
    }
    std::array<short, kRotationCount> x{};
    std::array<short, kRotationCount> y{};
    if (!readFields(xNames, x.data()) || !readFields(yNames, y.data())) return;
    tellResult(lib().DownLoadRotateJZ(x.data(), y.data()), QStringLiteral("下发成功"));
}

void CheckDialog::on_pushButton_out_clicked()
{
    // A backup that the import would refuse is no backup: the fields are checked as for sending.
    std::array<short, kCalibrationFieldCount> checked{};
    if (!readFields(calibrationFieldNames(), checked.data())) return;
    QFileDialog dialog(this, QStringLiteral("导出校准数据"), backupFolder(), kBackupFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix itself, so that it asks before replacing a backup of that name
    // (the import dialog lists *.ini files only).
    dialog.setDefaultSuffix(kBackupSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    QMap<QString, QString> values;
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it) values.insert(it.key(), it.value()->text());
    // A backup that did not reach the disk must not look like one that did.
    if (!exportCalibration(path, values)) {
        warn(QStringLiteral("导出校准数据失败"));
        return;
    }
    tell(QStringLiteral("导出所有校准数据成功"));
}

void CheckDialog::on_pushButton_in_clicked()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("导入校准数据"), backupFolder(), kBackupFilter);
    if (path.isEmpty()) return;
    bool hasBase = false;
    for (const auto& entry : importCalibration(path)) {
        field(entry.first)->setText(entry.second);
        hasBase = hasBase || entry.first == QLatin1String("lineEditBZW");
    }
    if (hasBase)
        tell(QStringLiteral("导入校准数据成功"));
    else
        warn(QStringLiteral("导入校准数据失败"));
}
