// Small text rules shared by the machine operations that hand texts back.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace stampctl {

// Trace lines print a missing text as an empty one.
inline const char* orEmpty(const char* text) { return text ? text : ""; }

// Appends `entry` (its first `len` bytes, up to a NUL) to the text in `buf`, with `sep` before it
// when the text is not empty. A text that would not fit whole, terminator included, is not
// appended at all and buf stays as it was: the result is always a run of whole entries.
inline bool appendEntry(char* buf, size_t cap, const char* entry, size_t len, char sep)
{
    len = strnlen(entry, len);
    const size_t used = strnlen(buf, cap);
    const size_t need = used + (used > 0 ? 1 : 0) + len + 1;
    if (used >= cap || need > cap) return false;
    char* end = buf + used;
    if (used > 0) *end++ = sep;
    std::memcpy(end, entry, len);
    end[len] = '\0';
    return true;
}

// Joins `entries` with `sep` into `buf` when the whole text fits, terminator included; otherwise
// false, and buf is left as it was.
inline bool joinWhole(const std::vector<std::string>& entries, char sep, char* buf, size_t cap)
{
    std::string text;
    for (const std::string& e : entries) {
        if (!text.empty()) text += sep;
        text += e;
    }
    if (cap == 0 || text.size() > cap - 1) return false;
    std::memcpy(buf, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace stampctl
