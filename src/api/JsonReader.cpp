#include "JsonReader.h"

#include "json/JsonDepth.h"

#include <limits>

namespace veloxa {

using json = nlohmann::json;

JsonReader::JsonReader(const json& value, QString path) : m_value(value), m_path(std::move(path)) {
    if (!m_value.is_object())
        fail(QStringLiteral("expected an object%1, found %2")
                 .arg(m_path.isEmpty() ? QString() : QStringLiteral(" at ") + m_path,
                      typeName(m_value)));
}

json JsonReader::parse(const QByteArray& text) {
    // No record of ours nests this deep; deeper text is refused before the library
    // recurses into it.
    if (JsonDepth::of(std::string_view(text.constData(), std::size_t(text.size()))) >
        JsonDepth::defaultLimit)
        throw Failure("malformed JSON: nested too deeply");
    try {
        return json::parse(text.cbegin(), text.cend());
    } catch (const json::exception& e) {
        throw Failure(
            QStringLiteral("malformed JSON: %1").arg(QString::fromUtf8(e.what())).toStdString());
    }
}

QString JsonReader::typeName(const json& value) {
    switch (value.type()) {
    case json::value_t::null:
        return QStringLiteral("null");
    case json::value_t::object:
        return QStringLiteral("object");
    case json::value_t::array:
        return QStringLiteral("array");
    case json::value_t::string:
        return QStringLiteral("string");
    case json::value_t::boolean:
        return QStringLiteral("boolean");
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
        return QStringLiteral("integer");
    case json::value_t::number_float:
        return QStringLiteral("number with a fraction");
    default:
        return QStringLiteral("unsupported value");
    }
}

const json* JsonReader::find(const char* key) const {
    const auto it = m_value.find(key);
    return it == m_value.end() ? nullptr : &*it;
}

QString JsonReader::keyPath(const char* key) const {
    const QString k = QString::fromUtf8(key);
    return m_path.isEmpty() ? k : m_path + u'.' + k;
}

QString JsonReader::elementPath(const char* key, std::size_t index) const {
    return QStringLiteral("%1[%2]").arg(keyPath(key)).arg(index);
}

void JsonReader::fail(const QString& message) const {
    throw Failure(message.toStdString());
}

const json& JsonReader::member(const char* key, json::value_t type, const char* typeWord) const {
    const json* value = find(key);
    if (!value)
        fail(QStringLiteral("missing key \"%1\"").arg(keyPath(key)));
    const bool matches = value->type() == type ||
                         (type == json::value_t::number_integer && value->is_number_unsigned());
    if (!matches)
        fail(QStringLiteral("wrong type for \"%1\": expected %2, found %3")
                 .arg(keyPath(key), QLatin1String(typeWord), typeName(*value)));
    return *value;
}

QString JsonReader::requireString(const char* key) const {
    return QString::fromStdString(
        member(key, json::value_t::string, "string").get_ref<const std::string&>());
}

std::optional<QString> JsonReader::optionalString(const char* key) const {
    const json* value = find(key);
    if (!value || value->is_null())
        return std::nullopt;
    return requireString(key);
}

qint64 JsonReader::requireInt64(const char* key) const {
    const json& value = member(key, json::value_t::number_integer, "integer");
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()))
        fail(QStringLiteral("\"%1\" is beyond the signed 64-bit range").arg(keyPath(key)));
    return value.get<std::int64_t>();
}

std::optional<qint64> JsonReader::optionalInt64(const char* key) const {
    const json* value = find(key);
    if (!value || value->is_null())
        return std::nullopt;
    return requireInt64(key);
}

quint64 JsonReader::requireUInt64(const char* key) const {
    const json& value = member(key, json::value_t::number_integer, "integer");
    if (value.is_number_integer() && !value.is_number_unsigned() && value.get<std::int64_t>() < 0)
        fail(QStringLiteral("\"%1\" is negative").arg(keyPath(key)));
    return value.get<std::uint64_t>();
}

bool JsonReader::requireBool(const char* key) const {
    return member(key, json::value_t::boolean, "boolean").get<bool>();
}

QStringList JsonReader::requireStringArray(const char* key) const {
    const json& array = member(key, json::value_t::array, "array");
    QStringList out;
    for (std::size_t i = 0; i < array.size(); ++i) {
        if (!array[i].is_string())
            fail(QStringLiteral("wrong type for \"%1\": expected string, found %2")
                     .arg(elementPath(key, i), typeName(array[i])));
        out << QString::fromStdString(array[i].get_ref<const std::string&>());
    }
    return out;
}

QMap<QString, QString> JsonReader::requireStringMap(const char* key) const {
    const json& object = member(key, json::value_t::object, "object");
    QMap<QString, QString> out;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it->is_string())
            fail(QStringLiteral("wrong type for \"%1.%2\": expected string, found %3")
                     .arg(keyPath(key), QString::fromStdString(it.key()), typeName(*it)));
        out.insert(QString::fromStdString(it.key()),
                   QString::fromStdString(it->get<std::string>()));
    }
    return out;
}

} // namespace veloxa
