// Shared set-up of the image-processing tests: a private base directory for traces and
// pictures, and the configured threshold the real photos are processed with.
#pragma once

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"
#include "stampctl/sim/paper_photo.h"
#include "tests/support/test_env.h"

namespace stampctl::test {

constexpr int kConfiguredCutEzh = 60;

class ImagingTest : public ::testing::Test {
protected:
    void SetUp() override { img()->setOutputSettings(80, 235, kConfiguredCutEzh); }

    static CImgHelp* img() { return CImgHelp::Instance(); }
    static cv::Mat threshold(const cv::Mat& photo) { return img()->MakeThreshold(photo); }
    cv::Rect paperRect() const { return m_cut.paper; }
    void setPaperRect(const cv::Rect& r) { m_cut.paper = r; }
    std::string path(const std::string& name) const { return m_base.file(name); }

    TempBaseDir m_base;
    CutResult m_cut;  // what the operations under test produce
};

// The first bright pixel going from `from` in direction `step`, or -1.
inline int firstBright(const cv::Mat& bgr, cv::Point from, cv::Point step)
{
    for (cv::Point p = from; p.inside(cv::Rect(0, 0, bgr.cols, bgr.rows)); p += step) {
        const cv::Vec3b v = bgr.at<cv::Vec3b>(p);
        if ((v[0] + v[1] + v[2]) / 3 > 128) return step.x ? p.x : p.y;
    }
    return -1;
}

}  // namespace stampctl::test
