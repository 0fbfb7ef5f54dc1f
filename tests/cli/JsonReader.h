// Reads the JSON the tool prints. Qt's reader rejects bytes that are not UTF-8 and trailing
// text; it reads only arrays and objects at the top, so the text is read inside an array.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <optional>
#include <string>

namespace vireo::test {

// The value of the whole text, or nullopt when it is not valid JSON.
inline std::optional<QJsonValue> ParseJson(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString("[" + text + "]"), &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1)
        return std::nullopt;
    return doc.array().at(0);
}

// A string's value in UTF-8, or a number's digits.
inline std::string Text(const QJsonValue& value) {
    return value.isDouble() ? std::to_string(value.toInteger()) : value.toString().toStdString();
}

} // namespace vireo::test
