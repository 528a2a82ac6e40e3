#include "calibration_file.h"

#include <QSettings>

namespace sealtool {

namespace {

constexpr const char* kGroup = "jiaozhun";
constexpr int kAngles[] = {0, 90, 180, 270};

QStringList buildNames()
{
    QStringList names{QStringLiteral("lineEditBZW"), QStringLiteral("lineEditBZG")};
    for (int circle = 1; circle <= kCircleCount; ++circle)
        names << circleField('X', circle) << circleField('Y', circle);
    for (int seal = 1; seal <= kSealCount; ++seal)
        names << sealField('X', seal, 0) << sealField('Y', seal, 0);
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

bool exportCalibration(const QString& path, const QMap<QString, QString>& values)
{
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QLatin1String(kGroup));
    for (const QString& name : calibrationFieldNames())
        file.setValue(name, values.value(name));
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
        if (names.contains(key))
            found.append({key, file.value(key).toString()});
    }
    file.endGroup();
    return found;
}

}  // namespace sealtool
