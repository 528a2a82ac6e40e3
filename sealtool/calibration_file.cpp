#include "calibration_file.h"

#include <QSettings>

namespace sealtool {

namespace {

constexpr const char* kGroup = "jiaozhun";
constexpr int kAngles[] = {0, 90, 180, 270};
// The machine keeps each value in 16 signed bits.
constexpr int kPixelMin = -32768;
constexpr int kPixelMax = 32767;
// A seal's correction in hundredths of a millimetre, as the dialog's labels say.
constexpr int kCorrectionLimit = 999;

QStringList buildNames()
{
    QStringList names{QStringLiteral("lineEditBZW"), QStringLiteral("lineEditBZG")};
    for (int circle = 1; circle <= kCircleCount; ++circle)
        names << circleField('X', circle) << circleField('Y', circle);
    for (int seal = 1; seal <= kSealCount; ++seal) names << sealField('X', seal, 0) << sealField('Y', seal, 0);
    for (int seal = 1; seal <= kSealCount; ++seal)
        for (int degrees : {kAngles[1], kAngles[2], kAngles[3]})
            names << sealField('X', seal, degrees) << sealField('Y', seal, degrees);
    return names;
}

}  // namespace

const QStringList& calibrationFieldNames()
{
    static const QStringList names = buildNames();
    return names;
}

QString circleField(char axis, int circle)
{
    return QStringLiteral("lineEdit_%1%2").arg(QLatin1Char(axis)).arg(circle);
}

QString sealField(char axis, int seal, int degrees)
{
    return QStringLiteral("lineEdit_%1%2_%3").arg(QLatin1Char(axis)).arg(seal).arg(degrees);
}

NumberField calibrationNumber(const QString& name)
{
    if (name == QLatin1String("lineEditBZW")) return {QStringLiteral("A4纸短边"), kPixelMin, kPixelMax};
    if (name == QLatin1String("lineEditBZG")) return {QStringLiteral("A4纸长边"), kPixelMin, kPixelMax};
    // "lineEdit_X1" (circle 1) or "lineEdit_X1_90" (seal 1 at 90 degrees).
    const QString axis = name.mid(9, 1).toLower();
    const QStringList parts = name.mid(10).split(QLatin1Char('_'));
    if (parts.size() == 1) return {QStringLiteral("圆%1：%2坐标").arg(parts[0], axis), kPixelMin, kPixelMax};
    return {QStringLiteral("%1号章%2度%3坐标").arg(parts[0], parts[1], axis), -kCorrectionLimit, kCorrectionLimit};
}

bool exportCalibration(const QString& path, const QMap<QString, QString>& values)
{
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QLatin1String(kGroup));
    for (const QString& name : calibrationFieldNames()) file.setValue(name, values.value(name));
    file.endGroup();
    file.sync();
    return file.status() == QSettings::NoError;
}

QList<QPair<QString, QString>> importCalibration(const QString& path)
{
    QList<QPair<QString, QString>> found;
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QLatin1String(kGroup));
    const QStringList& names = calibrationFieldNames();
    for (const QString& key : file.childKeys()) {
        if (names.contains(key)) found.append({key, file.value(key).toString()});
    }
    file.endGroup();
    return found;
}

}  // namespace sealtool
