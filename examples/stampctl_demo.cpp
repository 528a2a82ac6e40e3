// A tour of libstampctl through its public C functions. On the simulated machine it also looks
// behind the curtain (stampctl/sim) to show where the stamps physically landed.
//
//   STAMPCTL_SIMULATOR=1 ./stampctl_demo      the built-in simulated machine
//   ./stampctl_demo [security code]           a real machine on USB
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "stampctl/seal.h"
#include "stampctl/sim/paper_board.h"
#include "stampctl/sim/sim_machine.h"
#include "stampctl/stampctl.h"

namespace {

constexpr const char* kFactoryAccessCode = "mt5934mt";
constexpr const char* kInstallDir = "/opt/apps/cn.orvane.stampctl/files";

std::string baseDir()
{
    const char* dir = std::getenv("STAMPCTL_BASE_DIR");
    return (dir && *dir) ? dir : kInstallDir;
}

std::string todaysTraceFile()
{
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "/log/%04d_%02d_%02d.ini", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return baseDir() + name;
}

// Prints a result code with its message; true on success.
bool report(const char* what, int code)
{
    std::printf("  %-34s %d  %s\n", what, code, code == 0 ? "" : geterrMsg(code));
    return code == 0;
}

// Prints a text result; failures come back as "-@#<code>".
void reportText(const char* what, const char* text)
{
    const std::string value = text ? text : "";
    if (value.rfind("-@#", 0) == 0) {
        const int code = std::atoi(value.c_str() + 3);
        std::printf("  %-34s failed: %d  %s\n", what, code, geterrMsg(code));
    } else {
        std::printf("  %-34s \"%s\"\n", what, value.c_str());
    }
}

// What the simulated machine recorded of the stamps made since `from`.
size_t showStampsMade(size_t from)
{
    const auto stamps = stampctl::sim::machine().stamps();
    for (size_t i = from; i < stamps.size(); ++i) {
        const auto& s = stamps[i];
        std::printf("    machine stamped: seal %d at (%.2f, %.2f) mm, angle %d%s%s\n", s.seal, s.xMm(), s.yMm(),
                    s.angle, s.photosensitive() ? ", photosensitive" : "",
                    s.made ? "" : " (the seal never reached the paper)");
    }
    return stamps.size();
}

// Takes a document photo: the full frame to <name>.bmp, the straightened and cropped sheet to
// <name>.jpg. Returns the cut picture's path, or "" on failure.
std::string takePhoto(const std::string& name)
{
    const std::string full = baseDir() + "/cut/" + name + ".bmp";
    const std::string cut = baseDir() + "/cut/" + name + ".jpg";
    if (!report(("getImageFormat(" + name + ".bmp, 0, 0, 0)").c_str(), getImageFormat(full.c_str(), 0, 0, 0)))
        return "";
    std::printf("    full photo %s\n    cut picture %s\n", full.c_str(), cut.c_str());
    return cut;
}

// Clicks a pixel of the cut picture, stamps there, and asks the simulated board how far from the
// click the impression landed.
void stampAtClick(int seal, cv::Point click, int angle)
{
    char what[64];
    std::snprintf(what, sizeof what, "manualPrintStart(%d, %d, %d, %d)", seal, click.x, click.y, angle);
    if (!report(what, manualPrintStart(seal, click.x, click.y, angle))) return;
    cv::Point source = click;
    CSeal::Instance()->lastCut().ConvertXYtoSrcPic(source.x, source.y);
    auto& board = stampctl::sim::paperBoard();
    const auto impressions = board.impressionsInPicture();
    if (impressions.empty()) return;
    const double error = cv::norm(board.pictureToMachine(impressions.back()) - board.pictureToMachine(source));
    std::printf("    the impression landed %.2f mm from the point clicked\n", error);
}

void showTraceTail(size_t count)
{
    std::ifstream in(todaysTraceFile());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const size_t from = lines.size() > count ? lines.size() - count : 0;
    std::printf("\nLast %zu lines of the trace %s:\n", lines.size() - from, todaysTraceFile().c_str());
    for (size_t i = from; i < lines.size(); ++i) std::printf("  %s\n", lines[i].c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const bool simulated = std::getenv("STAMPCTL_SIMULATOR") && std::string(std::getenv("STAMPCTL_SIMULATOR")) == "1";
    const char* code = argc > 1 ? argv[1] : kFactoryAccessCode;
    std::printf("libstampctl demo on %s; files under %s\n\n",
                simulated ? "the simulated machine" : "a real machine (USB 0483:5750)", baseDir().c_str());

    std::printf("Connecting\n");
    if (!report("connMachine", connMachine(code))) {
        std::printf(
            "\nNo connection. For a real machine: plug it in, run as a user allowed to open\n"
            "USB devices (or root), and pass the machine's security code if it has one.\n"
            "Without a machine: STAMPCTL_SIMULATOR=1.\n");
        showTraceTail(12);
        return 1;
    }
    std::printf("  %-34s %d  (0: the machine answers)\n", "isConnMachine", isConnMachine());

    std::printf("\nIdentity\n");
    reportText("getMachineNum", getMachineNum());
    reportText("getMachineType", getMachineType());
    reportText("getMachineId", getMachineId());
    reportText("getFirmwareVer", getFirmwareVer());
    std::printf("  %-34s %d\n", "getFirmwareMode", getFirmwareMode());

    std::printf("\nSeals and slots\n");
    const std::string machineNum = getMachineNum();
    reportText("querySloatInfo (slot:seal present)", querySloatInfo(machineNum.c_str()));
    reportText("getRFID (tag_slot#...)", getRFID());

    std::printf("\nPaper door\n");
    const auto doorState = [] {
        const int state = checkPaperDoorState();
        std::printf("  %-34s %d  (%s)\n", "checkPaperDoorState", state,
                    state == 1   ? "open"
                    : state == 2 ? "closed"
                                 : geterrMsg(state));
    };
    doorState();
    report("openPaperDoorEx(2 s)", openPaperDoorEx(2));
    doorState();
    std::printf("  ... waiting for the door to close by itself\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    doorState();

    if (simulated) {
        // Seals 2 to 6 sit a little off in their holders, as real ones do, until calibration
        // measures them.
        const cv::Point2d offsets[] = {{0, 0}, {2.5, -1.5}, {-2.0, 1.0}, {1.5, 2.5}, {-1.0, -2.5}, {3.0, 1.5}};
        for (int seal = 1; seal <= 6; ++seal) {
            stampctl::sim::paperBoard().setSealOffsetMm(seal, offsets[seal - 1]);
            std::printf("  (simulation: seal %d lands %+.1f, %+.1f mm off)\n", seal, offsets[seal - 1].x,
                        offsets[seal - 1].y);
        }
    }

    std::printf("\nDocument camera\n");
    report("openVideoCap", openVideoCap());
    std::printf("  %-34s %d  (1: running)\n", "checkVideoState", checkVideoState());

    std::printf("\nAutomatic calibration (stamps a blank test sheet, photographs it, finds the circles)\n");
    if (simulated) {
        stampctl::sim::paperBoard().laySheet({});
        stampctl::sim::paperBoard().setPrintMm({});
    }
    char calibrationText[1024] = {};
    short photosensitive[6] = {};
    report("AutoCheckSeal", AutoCheckSeal(calibrationText, photosensitive));
    std::printf("%s\n", calibrationText);

    if (simulated) {  // a printed document on a fresh sheet
        stampctl::sim::paperBoard().laySheet({});
        stampctl::sim::paperBoard().setPrintMm(
            {{30, 20, 160, 12}, {30, 45, 230, 60}, {30, 120, 150, 40}, {200, 170, 60, 20}});
    }
    std::printf("\nA document photo, then stamps at clicked points of the cut picture\n");
    const std::string cut = takePhoto("demo_before");
    if (!cut.empty()) {
        const cv::Size size = cv::imread(cut).size();
        // clang-format off
        struct Click { int seal; double fx, fy; int angle; };
        for (const Click& c : {Click{1, 0.25, 0.25, 0}, Click{3, 0.70, 0.30, 90}, Click{5, 0.30, 0.70, 180},
                               Click{6, 0.72, 0.72, 270}})
            // clang-format on
            stampAtClick(c.seal, cv::Point(cvRound(size.width * c.fx), cvRound(size.height * c.fy)), c.angle);
    }

    std::printf("\nStamping by page millimetres (from the sheet's top-left corner)\n");
    size_t seen = simulated ? stampctl::sim::machine().stamps().size() : 0;
    struct PagePoint {
        int seal, x, y, angle;
    };
    for (const PagePoint& p : {PagePoint{1, 60, 100, 0}, PagePoint{2, 150, 240, 90}}) {
        char what[64];
        std::snprintf(what, sizeof what, "autoPrintStart(%d, %d, %d, %d)", p.seal, p.x, p.y, p.angle);
        report(what, autoPrintStart(p.seal, p.x, p.y, p.angle));
        if (simulated) seen = showStampsMade(seen);
    }

    std::printf("\nThe sheet photographed again: look at the impressions\n");
    takePhoto("demo_after");

    std::printf("\nDisconnecting\n");
    report("disconnMachine", disconnMachine());
    std::printf("  %-34s %d  (1: no longer answers)\n", "isConnMachine", isConnMachine());

    showTraceTail(16);
    return 0;
}
