#include "JsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vireo::test {
namespace {

JsonValue Convert(const QJsonValue& v) {
    JsonValue out;
    if (v.isBool()) {
        out.kind = JsonValue::Kind::Bool;
        out.boolean = v.toBool();
    } else if (v.isDouble()) {
        out.kind = JsonValue::Kind::Number;
        out.text = std::to_string(v.toInteger());
    } else if (v.isString()) {
        out.kind = JsonValue::Kind::String;
        out.text = v.toString().toStdString();
    } else if (v.isArray()) {
        out.kind = JsonValue::Kind::Array;
        for (const QJsonValue& element : v.toArray())
            out.elements.push_back(Convert(element));
    } else if (v.isObject()) {
        out.kind = JsonValue::Kind::Object;
        const QJsonObject object = v.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            out.members[it.key().toStdString()] = Convert(it.value());
    }
    return out;
}

} // namespace

std::optional<JsonValue> ParseJson(const std::string& text) {
    // Qt reads only arrays and objects at the top: wrap the text in an array.
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString("[" + text + "]"), &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1)
        return std::nullopt;
    return Convert(doc.array().at(0));
}

} // namespace vireo::test
