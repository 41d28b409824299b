#include "util/TextCodec.h"

namespace vek {

QString toQString(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        *out++ = QChar(unicodeOfByte(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string fromQString(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            // One character outside the basic plane: one replacement, not two.
            ++i;
            bytes.push_back('?');
        } else {
            bytes.push_back(byteOfUnicode(unit));
        }
    }
    return bytes;
}

std::string cp1252(std::string_view utf8) {
    return fromQString(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

} // namespace vek
