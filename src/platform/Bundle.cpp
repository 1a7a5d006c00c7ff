#include "Bundle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace veloxa {

namespace {

// Property-list values: dict, array, string, integer, real, true, false, date, data.
std::optional<QVariant> readValue(QXmlStreamReader& xml);

std::optional<QVariant> readDict(QXmlStreamReader& xml) {
    QVariantMap map;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"key")
            return std::nullopt;
        const QString key = xml.readElementText();
        if (!xml.readNextStartElement())
            return std::nullopt;
        auto value = readValue(xml);
        if (!value)
            return std::nullopt;
        map.insert(key, *value);
    }
    return xml.hasError() ? std::nullopt : std::optional<QVariant>(map);
}

std::optional<QVariant> readValue(QXmlStreamReader& xml) {
    const auto name = xml.name();
    if (name == u"dict")
        return readDict(xml);
    if (name == u"array") {
        QVariantList list;
        while (xml.readNextStartElement()) {
            auto value = readValue(xml);
            if (!value)
                return std::nullopt;
            list.append(*value);
        }
        return list;
    }
    if (name == u"string")
        return QVariant(xml.readElementText());
    if (name == u"integer") {
        bool ok = false;
        const qlonglong v = xml.readElementText().trimmed().toLongLong(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    if (name == u"real") {
        bool ok = false;
        const double v = xml.readElementText().trimmed().toDouble(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    if (name == u"true" || name == u"false") {
        const bool v = name == u"true";
        xml.skipCurrentElement();
        return QVariant(v);
    }
    if (name == u"date") {
        const auto d = QDateTime::fromString(xml.readElementText().trimmed(), Qt::ISODate);
        return d.isValid() ? std::optional<QVariant>(d) : std::nullopt;
    }
    if (name == u"data")
        return QVariant(QByteArray::fromBase64(xml.readElementText().simplified().toLatin1()));
    return std::nullopt;
}

Bundle findMainBundle() {
    const QDir exeDir(QCoreApplication::applicationDirPath());
    // …/Veloxa.app/Contents/MacOS/veloxa
    if (exeDir.dirName() == u"MacOS") {
        QDir contents = exeDir;
        if (contents.cdUp() && contents.dirName() == u"Contents") {
            QDir root = contents;
            if (root.cdUp()) {
                if (auto bundle = Bundle::load(root.absolutePath()))
                    return *bundle;
                return Bundle({}, QUrl::fromLocalFile(root.absolutePath() + u'/'));
            }
        }
    }
    return Bundle({}, QUrl::fromLocalFile(exeDir.absolutePath() + u'/'));
}

} // namespace

Bundle::Bundle(QVariantMap infoDictionary, QUrl bundleURL)
    : m_info(std::move(infoDictionary)), m_url(std::move(bundleURL)) {}

namespace {
std::optional<Bundle>& mainOverride() {
    static std::optional<Bundle> bundle;
    return bundle;
}
} // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle = findMainBundle();
    return mainOverride() ? *mainOverride() : bundle;
}

void Bundle::setMain(const Bundle& bundle) {
    mainOverride() = bundle;
}

std::optional<Bundle> Bundle::load(const QString& bundlePath) {
    QFile file(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto info = parsePropertyList(file.read(1 << 20));
    if (!info)
        return std::nullopt;
    QString root = QFileInfo(bundlePath).absoluteFilePath();
    if (!root.endsWith(u'/'))
        root += u'/';
    return Bundle(*info, QUrl::fromLocalFile(root));
}

std::optional<QVariantMap> Bundle::parsePropertyList(const QByteArray& data, QString* error) {
    QXmlStreamReader xml(data);
    auto fail = [&](const QString& why) -> std::optional<QVariantMap> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!xml.readNextStartElement() || xml.name() != u"plist")
        return fail(QStringLiteral("not a property list"));
    if (!xml.readNextStartElement() || xml.name() != u"dict")
        return fail(QStringLiteral("the root of the property list is not a dictionary"));
    auto root = readDict(xml);
    if (!root || xml.hasError())
        return fail(xml.hasError() ? xml.errorString() : QStringLiteral("malformed value"));
    return root->toMap();
}

QString Bundle::bundleIdentifier() const {
    return stringValue(QStringLiteral("CFBundleIdentifier")).value_or(QString());
}

std::optional<QString> Bundle::stringValue(const QString& key) const {
    const auto it = m_info.constFind(key);
    if (it == m_info.cend() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

QString Bundle::path(const QString& relative) const {
    return QDir(m_url.toLocalFile()).filePath(relative);
}

} // namespace veloxa
