// The controller's image-processing operations, and the last cut it keeps for them.
#include <utility>

#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"

namespace {
constexpr double kRatePerMille = 1000.0;
}

CutResult CSeal::lastCut() const
{
    std::lock_guard<std::mutex> lock(m_lastCutLock);
    return m_lastCut;
}

void CSeal::storeCut(CutResult cut)
{
    std::lock_guard<std::mutex> lock(m_lastCutLock);
    std::swap(m_lastCut, cut);  // the previous picture goes with `cut`, after the lock is released
}

short CSeal::_isWhitePaper(int x, int y) { return _isWhitePaper(*config(), lastCut(), x, y); }

short CSeal::_isWhitePaper(const stampctl::SealConfig& config, const CutResult& cut, int x, int y)
{
    const float rate = static_cast<float>(config.bz_black_rate / kRatePerMille);
    return static_cast<short>(CImgHelp::IsWhitePaper(cut, x, y, config.bz_width, config.bz_height, rate));
}
