#include "text_args.h"

#include <cstring>

#include <QByteArray>
#include <QIntValidator>
#include <QLineEdit>

namespace sealtool {

namespace {

constexpr const char* kInstallFilesDir = "/opt/apps/cn.orvane.stampctl/files";

bool isUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

TextArg::TextArg(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    int length = utf8.size();
    if (length > kTextArgSize - 1) {
        // Step back over a character that the cut would split.
        length = kTextArgSize - 1;
        while (length > 0 && isUtf8Continuation(utf8[length])) --length;
    }
    std::memcpy(m_bytes.data(), utf8.constData(), static_cast<size_t>(length));
}

void restrictTo(QLineEdit* edit, const NumberField& field)
{
    edit->setValidator(new QIntValidator(field.min, field.max, edit));
}

std::optional<int> readNumber(const QString& text, const NumberField& field)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < field.min || value > field.max) return std::nullopt;
    return value;
}

QString numberRequired(const NumberField& field)
{
    return QStringLiteral("%1须为%2到%3之间的整数").arg(field.name).arg(field.min).arg(field.max);
}

QString fromLibrary(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

QString filesDir()
{
    const QByteArray over = qgetenv("STAMPCTL_BASE_DIR");
    return over.isEmpty() ? QString::fromLatin1(kInstallFilesDir) : QString::fromLocal8Bit(over);
}

}  // namespace sealtool
