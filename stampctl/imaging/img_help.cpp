#include "stampctl/imaging/img_help.h"

#include <opencv2/imgproc.hpp>

#include "stampctl/core/trace.h"

namespace {
constexpr double kPaperValue = 100;  // what a bright pixel becomes in the thresholded picture
}

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

cv::Mat CImgHelp::MakeThreshold(const cv::Mat& photo) const
{
    CV_Assert(!photo.empty() && photo.depth() == CV_8U);
    cv::Mat grey;
    if (photo.channels() == 3)
        cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
    else if (photo.channels() == 4)
        cv::cvtColor(photo, grey, cv::COLOR_BGRA2GRAY);
    else
        grey = photo.clone();
    cv::threshold(grey, grey, static_cast<double>(m_cutEzh), kPaperValue, cv::THRESH_BINARY);
    return grey;
}

cv::Rect CImgHelp::ClipRoi(const cv::Mat& picture, const cv::Rect& region)
{
    return region & cv::Rect(0, 0, picture.cols, picture.rows);
}

void CImgHelp::GetPaperWH(int& width, int& height) const
{
    width = iPixelX;
    height = iPixelY;
}
