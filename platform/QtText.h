// The program keeps its texts as 8-bit strings (Latin-1); these convert them for Qt widgets
// and back, byte for byte.
#pragma once

#include <QString>
#include <string>

namespace vireo {

inline QString ToQt(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQt(const QString& text) {
    return text.toLatin1().toStdString();
}

} // namespace vireo
