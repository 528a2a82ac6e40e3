// Reading and writing the pictures the library leaves in the files directory (photos, cut
// pictures, calibration sheets and their circles): the one place that touches picture files; the
// algorithms work on pictures in memory.
#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace stampctl::imaging {

// Writes the picture and makes a file this process owns rewritable by the operators' group, so
// that the next operator's photo of the same name does not fail. False when nothing was written.
bool writePicture(const std::string& path, const cv::Mat& picture, const std::vector<int>& params = {});

// The picture in the file (cv::IMREAD_* flags); empty when it cannot be read.
cv::Mat readPicture(const std::string& path, int flags);

}  // namespace stampctl::imaging
