// Writing the pictures the library leaves in the files directory (photos, cut pictures,
// calibration sheets and their circles).
#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace stampctl::imaging {

// Writes the picture and makes a file this process owns rewritable by the operators' group, so
// that the next operator's photo of the same name does not fail. False when nothing was written.
bool writePicture(const std::string& path, const cv::Mat& picture, const std::vector<int>& params = {});

}  // namespace stampctl::imaging
