#pragma once

#include <QStringList>
#include <QUrl>

namespace veloxa {

// Which URLs the client may send requests to: https anywhere, plain http only to a
// loopback host (the local demo service and tests).
class UrlPolicy {
public:
    static bool isAllowed(const QUrl& url);
    static bool isLoopbackHost(const QString& host);
    // One line per build constant that breaks the rule; empty when all are fine.
    static QStringList buildConstantProblems();
};

} // namespace veloxa
