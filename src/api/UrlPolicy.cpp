#include "UrlPolicy.h"

#include "BuildConfig.h"

#include <QHostAddress>

namespace veloxa {

bool UrlPolicy::isLoopbackHost(const QString& host) {
    if (host.compare(u"localhost", Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    if (!address.setAddress(host))
        return false;
    return address.isLoopback();
}

bool UrlPolicy::isAllowed(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == u"https")
        return true;
    return url.scheme() == u"http" && isLoopbackHost(url.host());
}

QStringList UrlPolicy::buildConstantProblems() {
    QStringList problems;
    const std::pair<const char*, const char*> urls[] = {
        {"service base URL", build::serviceBaseUrl},
        {"web site root", build::websiteRoot},
        {"IP-echo URL", build::ipEchoUrl},
    };
    for (const auto& [name, text] : urls) {
        const QUrl url(QString::fromUtf8(text), QUrl::StrictMode);
        if (!isAllowed(url))
            problems << QStringLiteral("The %1 \"%2\" is not an https URL (http is allowed only "
                                       "for loopback hosts).")
                            .arg(QLatin1String(name), QString::fromUtf8(text));
    }
    return problems;
}

} // namespace veloxa
