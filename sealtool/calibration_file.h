// The calibration values as the dialog holds them: one line edit per value, named as the keys of
// the backup file.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include "text_args.h"

namespace sealtool {

constexpr int kCalibrationFieldCount = 58;
constexpr int kSealCount = 6;
constexpr int kCircleCount = 4;
constexpr int kRotationCount = 18;    // 6 seals x 90, 180, 270 degrees
constexpr int kBaseBlockValues = 25;  // 50 bytes

// The 58 field names in the order in which the backup file stores them.
const QStringList& calibrationFieldNames();

// The names behind the machine's data blocks.
QString circleField(char axis, int circle);           // 'X'/'Y', circle 1..4
QString sealField(char axis, int seal, int degrees);  // 'X'/'Y', seal 1..6, 0/90/180/270

// The number a field must hold before it is sent, named as its label reads.
NumberField calibrationNumber(const QString& name);

// Writes every given value, in the names' order, under the group "jiaozhun".
bool exportCalibration(const QString& path, const QMap<QString, QString>& values);
// The values of the file's "jiaozhun" group whose keys are field names, in the file's order;
// other keys are passed over. A missing file reads as empty.
QList<QPair<QString, QString>> importCalibration(const QString& path);

}  // namespace sealtool
