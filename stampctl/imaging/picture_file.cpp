#include "stampctl/imaging/picture_file.h"

#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/core/paths.h"

namespace stampctl::imaging {

bool writePicture(const std::string& path, const cv::Mat& picture, const std::vector<int>& params)
{
    if (!cv::imwrite(path, picture, params)) return false;
    // Fails harmlessly on a file another operator created: it already has the shared mode.
    ::chmod(path.c_str(), kSharedFileMode);
    return true;
}

cv::Mat readPicture(const std::string& path, int flags) { return cv::imread(path, flags); }

}  // namespace stampctl::imaging
