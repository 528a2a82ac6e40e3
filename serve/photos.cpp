#include "serve/photos.h"

#include <filesystem>
#include <fstream>
#include <regex>

#include "shapes/outcome.h"
#include "shapes/stamp.h"

namespace stampctl_serve {

namespace {

// Photos the service answers for; older ones stay on disk but are no longer served.
constexpr size_t kKeptPhotos = 100;
const std::regex kIdPattern("[A-Za-z0-9_]{1,80}");

int readByte(std::istream& in) { return in.get(); }

int readBigEndian16(std::istream& in)
{
    const int high = in.get();
    const int low = in.get();
    return (high < 0 || low < 0) ? -1 : (high << 8) | low;
}

}  // namespace

nlohmann::json Photo::json() const { return {{"id", id}, {"width", width}, {"height", height}, {"bytes", bytes}}; }

bool jpegSize(const std::string& path, int& width, int& height)
{
    std::ifstream in(path, std::ios::binary);
    if (readByte(in) != 0xFF || readByte(in) != 0xD8) return false;
    while (in) {
        int marker = readByte(in);
        if (marker != 0xFF) return false;
        while ((marker = readByte(in)) == 0xFF) {}
        if (marker < 0) return false;
        const int length = readBigEndian16(in);
        if (length < 2) return false;
        // Start-of-frame markers (not DHT C4, JPG C8, DAC CC) carry the picture's size.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            readByte(in);  // sample precision
            height = readBigEndian16(in);
            width = readBigEndian16(in);
            return width > 0 && height > 0;
        }
        in.seekg(length - 2, std::ios::cur);
    }
    return false;
}

std::string Photos::newStem()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return stampctl_shapes::photoDir() + "/serve_" + stampctl_shapes::timestampedName().substr(9) + "_" +
           std::to_string(++m_sequence);
}

std::optional<Photo> Photos::taken(const std::string& stem)
{
    Photo photo;
    photo.path = stem + stampctl_shapes::kCutExtension;
    photo.id = std::filesystem::path(stem).filename().string();
    std::error_code error;
    photo.bytes = static_cast<long long>(std::filesystem::file_size(photo.path, error));
    if (error || !jpegSize(photo.path, photo.width, photo.height)) return std::nullopt;
    std::lock_guard<std::mutex> guard(m_lock);
    m_photos.push_back(photo);
    if (m_photos.size() > kKeptPhotos) m_photos.pop_front();
    m_current = photo.id;
    return photo;
}

std::optional<Photo> Photos::find(const std::string& id)
{
    if (!std::regex_match(id, kIdPattern)) return std::nullopt;
    std::lock_guard<std::mutex> guard(m_lock);
    for (const Photo& photo : m_photos)
        if (photo.id == id) return photo;
    return std::nullopt;
}

std::string Photos::current()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_current;
}

}  // namespace stampctl_serve
