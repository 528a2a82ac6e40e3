// How the tool turns the text of its fields into the library's arguments.
#pragma once

#include <array>

#include <QString>

namespace sealtool {

// Text arguments travel in a zero-filled 100-byte buffer, so the library sees at most 99 bytes.
constexpr int kTextArgSize = 100;

// The field text as UTF-8, cut at a whole character so that it fits the buffer with its NUL.
class TextArg {
public:
    explicit TextArg(const QString& text);
    const char* c_str() const { return m_bytes.data(); }

private:
    std::array<char, kTextArgSize> m_bytes{};
};

// A whole number typed by the operator: base 10; anything that is not a number is 0.
int toInt(const QString& text);
// The same for a signed 16-bit value; a number outside its range is 0 as well.
short toShort(const QString& text);

// The library's text results: a null pointer shows as empty.
QString fromLibrary(const char* text);

// The directory of the library's files: STAMPCTL_BASE_DIR when set, as the library itself reads
// it, else the installation's.
QString filesDir();

}  // namespace sealtool
