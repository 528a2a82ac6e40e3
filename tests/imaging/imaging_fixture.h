// Shared set-up of the image-processing tests: a private base directory for traces and
// pictures, and the configured threshold the real photos are processed with.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

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
    std::string path(const std::string& name) const { return m_base.file(name); }

    TempBaseDir m_base;
    CutResult m_cut;  // what the operations under test produce
};

constexpr double kSheetPxPerMm = 2745 / 297.0;

// The cut's turn in degrees, between -180 and 180.
inline double turnDeg(const CutResult& cut) { return std::remainder(cut.rotateAngle * 180 / CV_PI, 360); }

// Each corner of the cut goes back to within 2 mm of the drawn sheet's corner in the photo.
inline void expectCornersOnSheet(CutResult& cut, const sim::PaperPhoto& layout)
{
    const std::vector<cv::Point2f> corners = sim::sheetCorners(layout);
    const cv::Point cutCorners[4] = {
        {0, 0}, {cut.paper.width, 0}, {cut.paper.width, cut.paper.height}, {0, cut.paper.height}};
    for (int i = 0; i < 4; ++i) {
        cv::Point p = cutCorners[i];
        cut.ConvertXYtoSrcPic(p.x, p.y);
        EXPECT_LT(cv::norm(cv::Point2f(p) - corners[i]), 2 * kSheetPxPerMm) << "corner " << i;
    }
}

}  // namespace stampctl::test
