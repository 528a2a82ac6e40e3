// The photos the service took, known by id: a client names a photo, never a path, so it cannot
// read any other file. The machine maps a stamp's pixel on its last picture, so the store also
// knows which photo that is.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace stampctl_serve {

struct Photo {
    std::string id;
    std::string path;  // the cut picture
    int width = 0, height = 0;
    long long bytes = 0;
    nlohmann::json json() const;
};

class Photos {
public:
    // A new stem in the photo directory; its last component is the id.
    std::string newStem();
    // Adds the cut picture taken at `stem` (stem + ".jpg") as the machine's current picture.
    std::optional<Photo> taken(const std::string& stem);
    std::optional<Photo> find(const std::string& id);
    std::string current();

private:
    std::mutex m_lock;
    std::deque<Photo> m_photos;  // the newest last
    std::string m_current;
    unsigned m_sequence = 0;
};

// Width and height of a JPEG file from its frame header; false when it has none.
bool jpegSize(const std::string& path, int& width, int& height);

}  // namespace stampctl_serve
