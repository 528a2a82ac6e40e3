// The machine's calibration: automatic calibration, and showing, saving and restoring the values
// in the same INI file as sealtool's calibration dialog (group "jiaozhun", one key per value).
#include <strings.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include <QMap>
#include <QString>

#include "calibration_file.h"
#include "commands.h"
#include "shapes/calibration.h"
#include "trace_tail.h"
#include "stampctl/stampctl.h"

namespace stampctl_cli {

namespace {

using nlohmann::json;

constexpr int kRotationMagnitudeMax = 2047;  // what the machine's rotation block can carry
constexpr int kBaseBlockBytes = 2 * sealtool::kBaseBlockValues;

// Every value under its key in the calibration file.
std::map<std::string, short*> fieldsOf(Calibration& c)
{
    std::map<std::string, short*> fields{{"lineEditBZW", &c.shortSide}, {"lineEditBZG", &c.longSide}};
    for (int circle = 1; circle <= kCircleCount; ++circle) {
        fields[sealtool::circleField('X', circle).toStdString()] = &c.circleX[circle - 1];
        fields[sealtool::circleField('Y', circle).toStdString()] = &c.circleY[circle - 1];
    }
    for (int seal = 1; seal <= kSealCount; ++seal) {
        for (int a = 0; a < kAngleCount; ++a) {
            fields[sealtool::sealField('X', seal, kAngles[a]).toStdString()] = &c.offsetX[Calibration::index(seal, a)];
            fields[sealtool::sealField('Y', seal, kAngles[a]).toStdString()] = &c.offsetY[Calibration::index(seal, a)];
        }
    }
    return fields;
}

Outcome exportTo(const std::string& path)
{
    Calibration c;
    const int code = readCalibration(c);
    if (code != 0) return failure(code);
    QMap<QString, QString> values;
    for (const auto& [key, value] : fieldsOf(c)) values.insert(QString::fromStdString(key), QString::number(*value));
    if (!sealtool::exportCalibration(QString::fromStdString(path), values)) return refusal("cannot write " + path);
    Outcome outcome;
    outcome.data = calibrationJson(c);
    outcome.data["file"] = path;
    outcome.text = "calibration saved to " + path;
    outcome.confirmation = true;
    return outcome;
}

// A whole number of 16 bits, as the file has it; anything else is refused rather than sent as 0.
bool toShort(const std::string& text, short& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || number < SHRT_MIN || number > SHRT_MAX) return false;
    value = static_cast<short>(number);
    return true;
}

// Every key, each a number the machine can take, or the reason why not. A file that restores
// part of a calibration would leave the machine measuring with a mixture.
std::string readFile(const std::string& path, Calibration& c)
{
    if (!std::filesystem::is_regular_file(path)) return "no such file: " + path;
    std::map<std::string, std::string> found;
    for (const auto& [key, value] : sealtool::importCalibration(QString::fromStdString(path)))
        found[key.toStdString()] = value.toStdString();
    for (const auto& [key, target] : fieldsOf(c)) {
        const auto it = found.find(key);
        if (it == found.end()) return path + ": no value " + key + " in group jiaozhun";
        if (!toShort(it->second, *target)) return path + ": " + key + " is not a 16-bit number: " + it->second;
    }
    for (int i = 0; i < kSealCount * kAngleCount; ++i) {
        if (i % kAngleCount == 0) continue;  // the 0-degree corrections travel in the base block
        if (std::abs(c.offsetX[i]) > kRotationMagnitudeMax || std::abs(c.offsetY[i]) > kRotationMagnitudeMax)
            return path + ": a rotation correction is beyond +-" + std::to_string(kRotationMagnitudeMax);
    }
    return {};
}

void putLittleEndian(unsigned char* at, short value)
{
    const auto bits = static_cast<unsigned short>(value);
    at[0] = static_cast<unsigned char>(bits & 0xFF);
    at[1] = static_cast<unsigned char>(bits >> 8);
}

// A4 sides, the four circles, then each seal's 0-degree correction; the rest stays zero.
std::array<unsigned char, kBaseBlockBytes> baseBlock(const Calibration& c)
{
    std::array<unsigned char, kBaseBlockBytes> block{};
    unsigned char* at = block.data();
    auto put = [&at](short v) {
        putLittleEndian(at, v);
        at += 2;
    };
    put(c.shortSide);
    put(c.longSide);
    for (int i = 0; i < kCircleCount; ++i) {
        put(c.circleX[i]);
        put(c.circleY[i]);
    }
    for (int seal = 1; seal <= kSealCount; ++seal) {
        put(c.offsetX[Calibration::index(seal, 0)]);
        put(c.offsetY[Calibration::index(seal, 0)]);
    }
    return block;
}

Outcome importFrom(const std::string& path)
{
    Calibration c;
    const std::string wrong = readFile(path, c);
    if (!wrong.empty()) return refusal(wrong);
    const auto block = baseBlock(c);
    int code = DownLoadBaseJZ(block.data(), static_cast<int>(block.size()), 0);
    if (code != 0) return failure(code, {{"file", path}, {"written", "nothing"}});
    std::array<short, sealtool::kRotationCount> x{}, y{};
    for (int seal = 1; seal <= kSealCount; ++seal) {
        for (int k = 0; k < 3; ++k) {
            x[3 * (seal - 1) + k] = c.offsetX[Calibration::index(seal, k + 1)];
            y[3 * (seal - 1) + k] = c.offsetY[Calibration::index(seal, k + 1)];
        }
    }
    code = DownLoadRotateJZ(x.data(), y.data());
    if (code != 0) return failure(code, {{"file", path}, {"written", "base block only"}});
    // What counts is what the machine holds now, not what was sent.
    Calibration held;
    code = readCalibration(held);
    if (code != 0) return failure(code, {{"file", path}, {"written", "all, not read back"}});
    Outcome outcome = calibrationJson(held) == calibrationJson(c)
                          ? Outcome{}
                          : refusal("the machine holds other values than " + path + " after writing them");
    outcome.data = calibrationJson(held);
    outcome.data["file"] = path;
    if (outcome.code != 0) return outcome;
    outcome.text = "calibration from " + path + " written to the machine";
    outcome.confirmation = true;
    return outcome;
}

Outcome autoCalibrate(const std::vector<int>& photosensitive) { return stampctl_shapes::autoCalibrate(photosensitive); }

// What automatic calibration does now, as its trace lines tell.
Step calibrationSteps()
{
    auto tail = std::make_shared<TraceTail>();
    return [tail]() -> std::string {
        static const std::pair<const char*, const char*> kSteps[] = {
            {"_directPrintStart", "stamping the check impressions"},
            {"_getImageFormat", "photographing the sheet"},
            {"szMain", "measuring the circles"},
            {"_DownLoad", "writing the calibration"},
        };
        std::string now;
        for (const std::string& line : tail->newLines())
            for (const auto& [mark, step] : kSteps)
                if (line.find(mark) != std::string::npos) now = step;
        return now;
    };
}

// Where the file goes must exist: a mistyped folder is not created.
CLI::Validator inExistingFolder()
{
    return CLI::Validator(
        [](std::string& path) {
            const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
            return std::filesystem::is_directory(folder) ? std::string() : "no such folder: " + folder.string();
        },
        "FILE");
}

// As sealtool's dialog does: the backup file is an .ini file, whatever name was typed.
std::string withIniSuffix(const std::string& path)
{
    const std::string suffix = ".ini";
    const bool has =
        path.size() > suffix.size() && strcasecmp(path.c_str() + path.size() - suffix.size(), suffix.c_str()) == 0;
    return has ? path : path + suffix;
}

}  // namespace

void addCalibrationCommands(CLI::App& app, Commands& commands)
{
    auto photosensitive = std::make_shared<std::vector<int>>();
    auto* calibrate = app.add_subcommand(
        "calibrate", "calibrate automatically on a white sheet (overwrites the calibration: export it first)");
    calibrate->add_flag("--auto", "stamp a white sheet on the board, photograph it, write the result")->required();
    calibrate->add_option("--photosensitive", *photosensitive, "the photosensitive seals, e.g. 2,5")
        ->delimiter(',')
        ->check(CLI::Range(1, kSealCount));
    commands.add(calibrate, commands.onMachine([photosensitive] { return autoCalibrate(*photosensitive); },
                                               "calibrating", calibrationSteps()));

    auto* calibration = app.add_subcommand("calibration", "show, export or import the calibration values");
    calibration->require_subcommand(1);
    commands.add(calibration->add_subcommand("show", "the values the machine holds"),
                 commands.onMachine(showCalibration, "reading the calibration"));
    auto file = std::make_shared<std::string>();
    auto* exportCommand = calibration->add_subcommand("export", "save the values to an INI file (as sealtool does)");
    exportCommand->add_option("file", *file, "the INI file (.ini is added when missing)")
        ->required()
        ->check(inExistingFolder());
    commands.add(exportCommand,
                 commands.onMachine([file] { return exportTo(withIniSuffix(*file)); }, "reading the calibration"));
    auto* importCommand = calibration->add_subcommand("import", "write an exported INI file to the machine");
    importCommand->add_option("file", *file, "the INI file")
        ->required()
        ->check(CLI::Validator(
            [](std::string& path) {
                return std::filesystem::is_regular_file(path) ? std::string() : "no such file: " + path;
            },
            "FILE"));
    commands.add(importCommand, commands.onMachine([file] { return importFrom(*file); }, "writing the calibration"));
}

}  // namespace stampctl_cli
