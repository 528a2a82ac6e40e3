// The ways an application asks for a stamp: at a pixel of the cut picture, with a photosensitive
// seal, at millimetres on the page, or (calibration) at machine millimetres. Each becomes machine
// millimetres, passes the checks that guard paper and seal, and runs the stamp cycle with at most
// one retry.
#include "stampctl/core/facts.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"
#include "stampctl/stamping/stamp_guards.h"

using namespace stampctl;
using namespace stampctl::stamping;

namespace {

constexpr int kAttempts = 2;
constexpr int kAcrossPageAngle = 180;
// Keeps the stamp this far inside the cut picture's edges.
constexpr int kEdgeMarginMm = 24;
constexpr int kInkFound = 1;

}  // namespace

bool CSeal::IsAcrossPageSeal(int angle) { return IsAcrossPageSeal(*config(), angle); }

bool CSeal::IsAcrossPageSeal(const SealConfig& config, int angle)
{
    return m_bAcrossPage || config.seal_to_qfz || (config.seal_to_qfz_180 && angle == kAcrossPageAngle);
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
    TRC_LOGER log(TRC_LOGER::TRC_API, "_manualPrintStart printNum:%d,pointX:%d,pointY:%d,angle:%d", printNum, x, y,
                  angle);
    int result = initCheckZb();
    if (result == EC_OK) result = stampAtPixel(printNum, x, y, angle, SEAL_ORDINARY);
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_manualPrintStartByLight(int printNum, int x, int y, int angle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_manualPrintStartByLight printNum:%d,pointX:%d,pointY:%d,angle:%d", printNum, x,
                  y, angle);
    int result = initCheckZb();
    if (result == EC_OK) result = stampAtPixel(printNum, x, y, angle, SEAL_PHOTOSENSITIVE);
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_autoPrintStart(int printNum, int x, int y, int angle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_autoPrintStart printNum:%d,pointX:%d,pointY:%d,angle:%d, m_bSavePicRow:%d",
                  printNum, x, y, angle, m_bSavePicRow ? 1 : 0);
    int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    // Off the page is no place on it, however the mapping would clamp it.
    if (!onPage(x, y, angle)) {
        TrcWritef(kTraceInfo, "盖章坐标不在页面内(%d, %d), angle:%d", x, y, angle);
        log.SetRet("return:%d, pointX:%d,pointY:%d", EC_OUT_OF_BOUNDS, x, y);
        return EC_OUT_OF_BOUNDS;
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
    int px = static_cast<int>(pageX);
    int py = static_cast<int>(pageY);
    const CutResult cut = lastCut();
    cut.ConvertPointBaseLeftTop(px, py, angle, m_paper_left_top);

    result = _PrintStartByPixel(printNum, px, py, angle, SEAL_ORDINARY, cut);
    log.SetRet("return:%d, pointX:%d,pointY:%d", result, px, py);
    return result;
}

int CSeal::_directPrintStart(int printNum, int x, int y, int angle, char nStyle)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_directPrintStart printNum:%d,pointX:%d,pointY:%d,angle:%d", printNum, x,
                  y, angle);
    const StampOutcome out =
        stampWithRetry(*config(), printNum, x, y, angle, static_cast<SEAL_KIND>(nStyle), STAMP_CALIBRATION);
    const int result = out.stamped ? EC_OK : out.code;
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::stampAtPixel(int printNum, int x, int y, int angle, SEAL_KIND nStyle)
{
    // One copy of the last cut for the whole request: a photo cut meanwhile cannot move it.
    const CutResult cut = lastCut();
    // A pixel means something only on a picture this process photographed and cut.
    if (!haveCutPicture(cut)) {
        TrcWritef(kTraceInfo, "没有裁剪图片，不允许按像素盖章 return:%d", EC_NO_PICTURE);
        return EC_NO_PICTURE;
    }
    if (!onCutPicture(cut, x, y)) {
        TrcWritef(kTraceInfo, "盖章坐标不在裁剪图片内(%d, %d), 图片 %d x %d return:%d", x, y, cut.picture.cols,
                  cut.picture.rows, EC_OUT_OF_BOUNDS);
        return EC_OUT_OF_BOUNDS;
    }
    return _PrintStartByPixel(printNum, x, y, angle, nStyle, cut);
}

int CSeal::_PrintStartByPixel(int printNum, int x, int y, int angle, SEAL_KIND nStyle, const CutResult& cut)
{
    TrcWritef(kTraceInfo, "CSeal::_PrintStartByPixel printNum:%d, xPixel:%d, yPixel:%d, angle:%d, nStyle:%d", printNum,
              x, y, angle, nStyle);
    m_bPrintReset = false;
    const std::shared_ptr<const SealConfig> config = this->config();  // for the whole request

    if (!IsAcrossPageSeal(*config, angle) && config->check_print_pos_allow) {
        const int checked = _checkManualPrintPara(*config, cut, x, y);
        if (checked != EC_OK) {
            TrcWritef(kTraceInfo, "盖章区域不合法 return:%d", checked);
            return checked;
        }
    }

    // Without a calibration that can map it, a pixel becomes no place on the machine.
    GetPointInfo();
    if (!calibrationSound(jzRecord())) {
        TrcWritef(kTraceInfo, "校准数据无效，不允许盖章 return:%d", EC_NOT_CALIBRATED);
        return EC_NOT_CALIBRATED;
    }

    cut.ConvertXYtoSrcPic(x, y);
    TrcWritef(kTraceInfo, "_PrintStartByPixel 原图坐标 xPixel:%d, yPixel:%d", x, y);
    double mmX = 0, mmY = 0;
    _SrcPixelToMachineMM(printNum, x, y, angle, mmX, mmY);

    const int result = _PrintStartByMM(*config, printNum, mmX, mmY, angle, nStyle);
    TrcWritef(kTraceInfo, "return:%d", result);
    return result;
}

StampOutcome CSeal::stampWithRetry(const SealConfig& config, int printNum, double x, double y, int angle,
                                   SEAL_KIND nStyle, STAMP_STYLE style)
{
    StampOutcome out;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        out = PrintOneStart(config, printNum, x, y, angle, nStyle, style);
        if (out.stamped || !out.retryOffered) break;
    }
    return out;
}

int CSeal::_PrintStartByMM(const SealConfig& config, int printNum, double x, double y, int angle, SEAL_KIND nStyle)
{
    TrcWritef(kTraceInfo, "PrintMyStart printNum:%d,xMM:%0.2f,yMM:%0.2f,angle:%d", printNum, x, y, angle);
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
    const int bound = IsSlotRFIDOk(config, printNum - 1);
    if (bound != EC_OK) {
        TrcWritef(kTraceInfo, "return:%d, 印章已与槽位绑定，不允许盖章", bound);
        return bound;
    }

    const STAMP_STYLE style = IsAcrossPageSeal(config, angle) ? STAMP_ACROSS_PAGE : STAMP_NORMAL;
    const StampOutcome out = stampWithRetry(config, printNum, x, y, angle, nStyle, style);
    const int result = out.stamped ? EC_OK : out.code;
    TrcWritef(kTraceInfo, "return:%d", result);
    return result;
}

int CSeal::_checkManualPrintPara(int x, int y, int /*angle*/)
{
    return _checkManualPrintPara(*config(), lastCut(), x, y);
}

int CSeal::_checkManualPrintPara(const SealConfig& config, const CutResult& cut, int x, int y)
{
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
    TrcWritef(kTraceInfo, "checkPara Return %d, xMin:%d, xMax:%d, yMin:%d, yMax:%d, xWidth:%d, yHeight:%d", verdict, mx,
              xMax, my, yMax, w, h);
    if (!inside || !config.bz_check_open) return verdict;

    if (_isWhitePaper(config, cut, x, y) == kInkFound) return EC_OK;
    TrcWritef(kTraceInfo, "白纸不允许盖章");
    return EC_BLANK_AREA;
}
