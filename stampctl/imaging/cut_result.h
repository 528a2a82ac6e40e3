// What one photo's crop leaves behind for the requests that follow it: where the sheet lies, how
// the photo was turned to straighten it, and the cut picture itself. A plain value: whoever keeps
// the last one (the controller) decides how it is shared, and the conversions below read only it.
#pragma once

#include <string>

#include <opencv2/core.hpp>
#include <opencv2/core/matx.hpp>

struct CutResult {
    bool paperFound = false;
    bool rotated = false;
    float rotateAngle = 0;  // radians, 0 when not rotated
    float rotDx = 0;        // the straightened photo's (0, 0) in the camera photo
    float rotDy = 0;
    cv::Rect paper;  // the paper rectangle in the straightened photo, not clipped to it
    // A sheet seen at a slant (a tilted camera) is not turned but mapped from its corners: then
    // the cut picture's pixel (x, y) lies at toPhoto (x, y) in the camera photo.
    bool perspective = false;
    cv::Matx33d toPhoto = cv::Matx33d::eye();
    double keystone = 0;  // how far the sheet was from a rectangle (see KeystoneShare)
    int paperWidth = 0;   // nominal sheet size in pixels, 0 until a sheet was measured
    int paperHeight = 0;
    // Shared, never written once the crop is done: copies of a CutResult are cheap and a
    // reader's copy stays valid while the next photo is cut.
    cv::Mat picture;

    // A pixel of the cut picture into the camera photo; unchanged when no sheet was found.
    void ConvertXYtoSrcPic(int& x, int& y) const;
    // A point measured from the sheet's top-left corner, as the stamp's angle and the way the
    // sheet lies ("270": turned) see it, into cut-picture pixels.
    void ConvertPointBaseLeftTop(int& x, int& y, int angle, const std::string& paperLeftTop) const;
    // Millimetres of the sheet into pixels at the measured (or default) density. Always true.
    bool MM2Pixel(int& x, int& y) const;
    void GetPaperWH(int& width, int& height) const;
};
