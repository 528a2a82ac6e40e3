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

CImgHelp::CImgHelp() { TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CImgHelp::CImgHelp"); }

CImgHelp::~CImgHelp() = default;

void CImgHelp::setOutputSettings(int jpgRar, int dpi, unsigned long cutEzh)
{
    {
        std::lock_guard<std::mutex> lock(m_settingsLock);
        m_settings = OutputSettings{jpgRar, dpi, cutEzh};
    }
    TrcWritef(stampctl::kTraceInfo, "CImgHelp::setOutputSettings JpgRar:%d, DPI:%d, CutEzh:%d", jpgRar, dpi,
              static_cast<int>(cutEzh));
}

OutputSettings CImgHelp::outputSettings() const
{
    std::lock_guard<std::mutex> lock(m_settingsLock);
    return m_settings;
}

cv::Mat CImgHelp::MakeGrey(const cv::Mat& photo)
{
    cv::Mat grey;
    if (photo.channels() == 3)
        cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
    else
        grey = photo;
    return grey;
}

cv::Mat CImgHelp::MakeThreshold(const cv::Mat& photo, unsigned long level)
{
    CV_Assert(!photo.empty() && photo.depth() == CV_8U);
    cv::Mat grey;
    if (photo.channels() == 3)
        cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
    else if (photo.channels() == 4)
        cv::cvtColor(photo, grey, cv::COLOR_BGRA2GRAY);
    else
        grey = photo.clone();
    cv::threshold(grey, grey, static_cast<double>(level), kPaperValue, cv::THRESH_BINARY);
    return grey;
}

cv::Rect CImgHelp::ClipRoi(cv::Size picture, const cv::Rect& region)
{
    return region & cv::Rect(0, 0, picture.width, picture.height);
}
