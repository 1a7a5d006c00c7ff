#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <nlohmann/json.hpp>

#include <expected>
#include <functional>
#include <optional>
#include <stdexcept>

namespace veloxa {

// Why a JSON body did not decode, worded for a developer ("missing key "filename" at
// configs[0]").
struct DecodeError {
    QString message;
};

// Strict reading of one JSON object: required keys must be present with the exact JSON
// type, optional keys may be missing or null, unknown keys are ignored. Failures throw
// JsonReader::Failure, which decode() turns into a DecodeError.
class JsonReader {
public:
    struct Failure : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    JsonReader(const nlohmann::json& value, QString path);

    QString requireString(const char* key) const;
    std::optional<QString> optionalString(const char* key) const;
    qint64 requireInt64(const char* key) const;
    std::optional<qint64> optionalInt64(const char* key) const;
    quint64 requireUInt64(const char* key) const;
    bool requireBool(const char* key) const;
    QStringList requireStringArray(const char* key) const;
    QMap<QString, QString> requireStringMap(const char* key) const;

    template <class T> T require(const char* key) const {
        return T::fromJson(
            JsonReader(member(key, nlohmann::json::value_t::object, "object"), keyPath(key)));
    }

    template <class T> QList<T> requireArray(const char* key) const {
        const auto& array = member(key, nlohmann::json::value_t::array, "array");
        QList<T> out;
        out.reserve(static_cast<qsizetype>(array.size()));
        for (std::size_t i = 0; i < array.size(); ++i)
            out.append(T::fromJson(JsonReader(array[i], elementPath(key, i))));
        return out;
    }

    // Parses text and decodes its top-level object with T::fromJson.
    template <class T> static std::expected<T, DecodeError> decode(const QByteArray& text) {
        try {
            const auto json = parse(text);
            return T::fromJson(JsonReader(json, QString()));
        } catch (const Failure& failure) {
            return std::unexpected(DecodeError{QString::fromUtf8(failure.what())});
        }
    }

    static nlohmann::json parse(const QByteArray& text);
    template <class T> static nlohmann::json arrayOf(const QList<T>& items) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& item : items)
            out.push_back(item.toJson());
        return out;
    }
    static std::string toStd(const QString& text) { return text.toStdString(); }
    static QString typeName(const nlohmann::json& value);

private:
    const nlohmann::json& member(const char* key, nlohmann::json::value_t type,
                                 const char* typeWord) const;
    const nlohmann::json* find(const char* key) const;
    QString keyPath(const char* key) const;
    QString elementPath(const char* key, std::size_t index) const;
    [[noreturn]] void fail(const QString& message) const;

    const nlohmann::json& m_value;
    QString m_path;
};

} // namespace veloxa
