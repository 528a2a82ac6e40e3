#include "stampctl/imaging/img_help.h"

#include "stampctl/frame/trace.h"

CImgHelp* CImgHelp::Instance()
{
    static CImgHelp helper;
    return &helper;
}

CImgHelp::CImgHelp()
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CImgHelp::CImgHelp");
}

CImgHelp::~CImgHelp() = default;

void CImgHelp::setDate(int jpgRar, int dpi, unsigned long cutEzh)
{
    m_jpgRar = jpgRar;
    m_dpi = dpi;
    m_cutEzh = cutEzh;
    TrcWritef(stampctl::kTraceInfo, "CImgHelp::setDate JpgRar:%d, DPI:%d, CutEzh:%d", jpgRar, dpi,
              static_cast<int>(cutEzh));
}
