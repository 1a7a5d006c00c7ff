#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <optional>

namespace veloxa {

// The application bundle: Veloxa.app/Contents/{Info.plist, MacOS/veloxa, Library/...}.
// Its information dictionary comes from the XML property list that the build writes.
class Bundle {
public:
    Bundle() = default;
    Bundle(QVariantMap infoDictionary, QUrl bundleURL);

    // The bundle that holds the running executable (…/Contents/MacOS/<exe>); an empty
    // bundle at the executable's folder when the process does not run from one.
    static const Bundle& main();
    // Tools that draw the client outside its bundle (screenshots) read this one instead.
    static void setMain(const Bundle& bundle);
    // Reads <bundlePath>/Contents/Info.plist; nothing when it is missing or unreadable.
    static std::optional<Bundle> load(const QString& bundlePath);
    // Parses an XML property list whose root is a dictionary.
    static std::optional<QVariantMap> parsePropertyList(const QByteArray& xml,
                                                        QString* error = nullptr);

    // "CFBundleIdentifier" when it is a string, else empty.
    QString bundleIdentifier() const;
    QUrl bundleURL() const { return m_url; }
    const QVariantMap& infoDictionary() const { return m_info; }
    // The value of a key when it is a string, else nothing.
    std::optional<QString> stringValue(const QString& key) const;
    // An absolute path inside the bundle.
    QString path(const QString& relative) const;

private:
    QVariantMap m_info;
    QUrl m_url;
};

} // namespace veloxa
