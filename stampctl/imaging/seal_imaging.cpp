// The controller's image-processing operations.
#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"

namespace {
constexpr double kRatePerMille = 1000.0;
}

short CSeal::_isWhitePaper(int x, int y)
{
    const float rate = static_cast<float>(m_config.bz_black_rate / kRatePerMille);
    return static_cast<short>(
        CImgHelp::Instance()->IsWhitePaper(x, y, m_config.bz_width, m_config.bz_height, rate));
}
