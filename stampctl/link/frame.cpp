#include "stampctl/link/frame.h"

#include <algorithm>
#include <cstring>

#include "stampctl/link/reply.h"

namespace stampctl::link {

uint8_t checksum(const uint8_t* bytes, size_t count)
{
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i) sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

void hexLine(const uint8_t* bytes, size_t count, char* out)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        *out++ = kDigits[bytes[i] >> 4];
        *out++ = kDigits[bytes[i] & 0x0F];
        *out++ = ' ';
    }
    *out++ = ';';
    *out = '\0';
}

std::string Reply::text(size_t max) const
{
    const char* p = reinterpret_cast<const char*>(data);
    return std::string(p, strnlen(p, std::min(dataLen, max)));
}

void Reply::copyText(char* dst, size_t max) const
{
    const std::string t = text(max);
    std::memcpy(dst, t.data(), t.size());
    dst[t.size()] = '\0';
}

}  // namespace stampctl::link
