// The ways an application asks for a stamp: at a pixel of the cut picture, with a photosensitive
// seal, at millimetres on the page, or (calibration) at machine millimetres. Each becomes machine
// millimetres, passes the checks that guard paper and seal, and runs the stamp cycle with at most
// one retry.
#include "stampctl/core/facts.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

constexpr char kOrdinarySeal = 0;
constexpr char kPhotosensitiveSeal = 1;
constexpr int kAttempts = 2;
constexpr int kAcrossPageAngle = 180;
// Keeps the stamp this far inside the cut picture's edges.
constexpr int kEdgeMarginMm = 24;
constexpr int kInkFound = 1;
// No picture is anywhere near this large. A point farther out than this is no position at all
// (rather than one merely outside the travel, which the mapping clamps), and keeping points
// below it keeps every sum and product of the mapping well inside an int.
constexpr double kLargestPixel = 1 << 20;

bool isPixel(double v) { return v >= -kLargestPixel && v <= kLargestPixel; }

bool yes(const std::string& setting) { return setting == "yes"; }

}  // namespace

bool CSeal::IsAcrossPageSeal(int angle)
{
    return m_bAcrossPage || yes(m_config.seal_to_qfz) ||
           (yes(m_config.seal_to_qfz_180) && angle == kAcrossPageAngle);
}

int CSeal::_setAcrossPageSeal()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CW32_STAMP::_setAcrossPageSeal");
    const int result = initCheckZb();
    if (result == EC_OK) m_bAcrossPage = true;
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_manualPrintStart(int printNum, int x, int y, int angle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_manualPrintStart printNum:%d,pointX:%d,pointY:%d,angle:%d",
                  printNum, x, y, angle);
    int result = initCheckZb();
    if (result == EC_OK) result = _PrintStartByPixel(printNum, x, y, angle, kOrdinarySeal);
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_manualPrintStartByLight(int printNum, int x, int y, int angle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API,
                  "_manualPrintStartByLight printNum:%d,pointX:%d,pointY:%d,angle:%d", printNum, x,
                  y, angle);
    int result = initCheckZb();
    if (result == EC_OK) result = _PrintStartByPixel(printNum, x, y, angle, kPhotosensitiveSeal);
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_autoPrintStart(int printNum, int x, int y, int angle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API,
                  "_autoPrintStart printNum:%d,pointX:%d,pointY:%d,angle:%d, m_bSavePicRow:%d",
                  printNum, x, y, angle, m_bSavePicRow ? 1 : 0);
    int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    GetPointInfo();

    const JZRecord jz = jzRecord();
    const double dx = jz.m_A4ShortSide > 0 ? jz.m_A4ShortSide / kA4ShortMm : kDefaultPerMmShort;
    const double dy = jz.m_A4LongSide > 0 ? jz.m_A4LongSide / kA4LongMm : kDefaultPerMmLong;
    TrcWritef(kTraceInfo, "_autoPrintStart dpi dx:%lf, dy:%lf", dx, dy);

    // The page lies long side across the picture unless the stamp is turned a quarter.
    const bool quarterTurn = angle == 90 || angle == 270;
    const double pageX = x * (quarterTurn ? dx : dy);
    const double pageY = y * (quarterTurn ? dy : dx);
    if (!isPixel(pageX) || !isPixel(pageY)) {
        log.SetRet("return:%d, pointX:%d,pointY:%d", EC_OUT_OF_BOUNDS, x, y);
        return EC_OUT_OF_BOUNDS;
    }
    int px = static_cast<int>(pageX);
    int py = static_cast<int>(pageY);
    lastCut().ConvertPointBaseLeftTop(px, py, angle, m_paper_left_top);

    result = _PrintStartByPixel(printNum, px, py, angle, kOrdinarySeal);
    log.SetRet("return:%d, pointX:%d,pointY:%d", result, px, py);
    return result;
}

int CSeal::_directPrintStart(int printNum, int x, int y, int angle, char nStyle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API,
                  "CSeal::_directPrintStart printNum:%d,pointX:%d,pointY:%d,angle:%d", printNum, x,
                  y, angle);
    int retReason = EC_FAIL;
    bool bAgain = true;
    for (int attempt = 0; attempt < kAttempts && bAgain; ++attempt) {
        bAgain = false;
        if (PrintOneStart(printNum, x, y, angle, nStyle, retReason, bAgain, STAMP_CALIBRATION)) {
            retReason = EC_OK;
            break;
        }
    }
    log.SetRet("Return Code:%d", retReason);
    return retReason;
}

int CSeal::_PrintStartByPixel(int printNum, int x, int y, int angle, char nStyle)
{
    TrcWritef(kTraceInfo,
              "CSeal::_PrintStartByPixel printNum:%d, xPixel:%d, yPixel:%d, angle:%d, nStyle:%d",
              printNum, x, y, angle, nStyle);
    m_bPrintReset = false;
    if (!isPixel(x) || !isPixel(y)) {
        TrcWritef(kTraceInfo, "盖章区域不合法 return:%d", EC_OUT_OF_BOUNDS);
        return EC_OUT_OF_BOUNDS;
    }

    if (!IsAcrossPageSeal(angle) && yes(m_config.check_print_pos_allow)) {
        const int checked = _checkManualPrintPara(x, y, angle);
        if (checked != EC_OK) {
            TrcWritef(kTraceInfo, "盖章区域不合法 return:%d", checked);
            return checked;
        }
    }

    lastCut().ConvertXYtoSrcPic(x, y);
    TrcWritef(kTraceInfo, "_PrintStartByPixel 原图坐标 xPixel:%d, yPixel:%d", x, y);
    double mmX = 0, mmY = 0;
    _SrcPixelToMachineMM(printNum, x, y, angle, mmX, mmY);

    const int result = _PrintStartByMM(printNum, mmX, mmY, angle, nStyle);
    TrcWritef(kTraceInfo, "return:%d", result);
    return result;
}

int CSeal::_PrintStartByMM(int printNum, double x, double y, int angle, char nStyle)
{
    TrcWritef(kTraceInfo, "PrintMyStart printNum:%d,xMM:%0.2f,yMM:%0.2f,angle:%d", printNum, x, y,
              angle);
    const CStampStatus doors = stampStatus();
    if (doors.m_iIsBackDoorOpen == 1) {
        TrcWritef(kTraceInfo, "return:%d, 侧门打开", EC_BACK_DOOR_OPEN);
        return EC_BACK_DOOR_OPEN;
    }
    if (doors.m_iIsPaperOpen == 1) {
        TrcWritef(kTraceInfo, "return:%d, 纸板打开", EC_PAPER_DOOR_OPEN);
        return EC_PAPER_DOOR_OPEN;
    }
    GetPointInfo();

    // Refused here as the stamp cycle would refuse it, before the slot check indexes by it.
    if (printNum < 1 || printNum > kSealCount) {
        TrcWritef(kTraceInfo, "return:%d, 传入的章号超界", EC_SEAL_NUMBER_OUT_OF_RANGE);
        return EC_SEAL_NUMBER_OUT_OF_RANGE;
    }
    const int bound = IsSlotRFIDOk(printNum - 1);
    if (bound != EC_OK) {
        TrcWritef(kTraceInfo, "return:%d, 印章已与槽位绑定，不允许盖章", bound);
        return bound;
    }

    const STAMP_STYLE style = IsAcrossPageSeal(angle) ? STAMP_ACROSS_PAGE : STAMP_NORMAL;
    int retReason = EC_FAIL;
    bool bAgain = true;
    for (int attempt = 0; attempt < kAttempts && bAgain; ++attempt) {
        retReason = EC_FAIL;
        bAgain = false;
        if (PrintOneStart(printNum, x, y, angle, nStyle, retReason, bAgain, style)) {
            TrcWritef(kTraceInfo, "return:%d", EC_OK);
            return EC_OK;
        }
    }
    TrcWritef(kTraceInfo, "return:%d", retReason);
    return retReason;
}

int CSeal::_checkManualPrintPara(int x, int y, int /*angle*/)
{
    const CutResult cut = lastCut();
    int w = 0, h = 0;
    cut.GetPaperWH(w, h);
    if (x < 1 || y < 1) {
        TrcWritef(kTraceInfo, "checkPara Return %d, pointX:%d, pointY:%d", EC_OUT_OF_BOUNDS, x, y);
        return EC_OUT_OF_BOUNDS;
    }
    if (w < 1 || h < 1) {
        TrcWritef(kTraceInfo, "checkPara Return %d, xWidth:%d, yHeight:%d", EC_NO_PICTURE, w, h);
        return EC_NO_PICTURE;
    }

    int mx = kEdgeMarginMm, my = kEdgeMarginMm;
    cut.MM2Pixel(mx, my);
    const int xMax = w - mx + 1;
    const int yMax = h - my + 1;
    const bool inside = x >= mx && x <= xMax && y >= my && y <= yMax;
    const int verdict = inside ? EC_OK : EC_OUT_OF_BOUNDS;
    TrcWritef(kTraceInfo,
              "checkPara Return %d, xMin:%d, xMax:%d, yMin:%d, yMax:%d, xWidth:%d, yHeight:%d",
              verdict, mx, xMax, my, yMax, w, h);
    if (!inside || !yes(m_config.bz_check_open)) return verdict;

    if (_isWhitePaper(cut, x, y) == kInkFound) return EC_OK;
    TrcWritef(kTraceInfo, "白纸不允许盖章");
    return EC_BLANK_AREA;
}
