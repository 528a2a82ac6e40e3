// How the tool turns the text of its fields into the library's arguments.
#pragma once

#include <array>
#include <optional>

#include <QString>

class QLineEdit;

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

// A whole number the operator types, with the range the machine takes and the name the operator
// knows the field by.
struct NumberField {
    QString name;
    int min;
    int max;
};

// Gives the field a validator for its range, so that letters cannot be typed in.
void restrictTo(QLineEdit* edit, const NumberField& field);
// The text as a base-10 whole number within the field's range; nothing for anything else, the
// empty text included: a guessed 0 would be sent to the machine as if it had been typed.
std::optional<int> readNumber(const QString& text, const NumberField& field);
// What the operator is told when a field holds no such number.
QString numberRequired(const NumberField& field);

// The library's text results: a null pointer shows as empty.
QString fromLibrary(const char* text);

// The directory of the library's files: STAMPCTL_BASE_DIR when set, as the library itself reads
// it, else the installation's.
QString filesDir();

}  // namespace sealtool
