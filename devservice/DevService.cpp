#include "DevService.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <cstdio>
#include <memory>

namespace veloxa::dev {

const QString DevService::activeSeed = QStringLiteral("active@veloxa.test");
const QString DevService::expiredSeed = QStringLiteral("expired@veloxa.test");
const QString DevService::fullSeed = QStringLiteral("full@veloxa.test");

namespace {

QString methodName(QHttpServerRequest::Method method) {
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return QStringLiteral("GET");
    case QHttpServerRequest::Method::Post:
        return QStringLiteral("POST");
    case QHttpServerRequest::Method::Delete:
        return QStringLiteral("DELETE");
    case QHttpServerRequest::Method::Put:
        return QStringLiteral("PUT");
    case QHttpServerRequest::Method::Head:
        return QStringLiteral("HEAD");
    case QHttpServerRequest::Method::Patch:
        return QStringLiteral("PATCH");
    case QHttpServerRequest::Method::Options:
        return QStringLiteral("OPTIONS");
    default:
        return QStringLiteral("OTHER");
    }
}

QString randomHex(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    for (auto& b : raw)
        b = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(raw.toHex());
}

bool validEmail(const QString& email) {
    static const QRegularExpression pattern(QStringLiteral(R"(^[^\s@]+@[^\s@]+\.[^\s@]+$)"));
    return pattern.match(email).hasMatch();
}

QString base64Key(QByteArray raw) {
    // A Curve25519 private key as WireGuard clamps it.
    raw[0] = static_cast<char>(raw[0] & 248);
    raw[31] = static_cast<char>((raw[31] & 127) | 64);
    return QString::fromLatin1(raw.toBase64());
}

QString randomKey() {
    QByteArray raw(32, Qt::Uninitialized);
    for (auto& b : raw)
        b = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return base64Key(raw);
}

// Runs one of the WireGuard tools; empty when it is missing or fails.
QString wgTool(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess wg;
    wg.start(QStringLiteral("wg"), arguments);
    if (!wg.waitForStarted(2000))
        return {};
    wg.write(input);
    wg.closeWriteChannel();
    if (!wg.waitForFinished(2000) || wg.exitCode() != 0)
        return {};
    return QString::fromLatin1(wg.readAllStandardOutput()).trimmed();
}

} // namespace

std::optional<DevService::WireGuardExit> DevService::WireGuardExit::parse(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([A-Za-z0-9+/]{43}=)@([A-Za-z0-9.:\[\]-]+):(\d{1,5})$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const uint port = match.captured(3).toUInt();
    if (port == 0 || port > 65535)
        return std::nullopt;
    QString host = match.captured(2);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    return WireGuardExit{match.captured(1), host, static_cast<quint16>(port)};
}

QStringList DevService::tunnelAddresses(int index) {
    return {QStringLiteral("10.66.%1.%2/32").arg((index + 2) / 256).arg((index + 2) % 256),
            QStringLiteral("fd66::%1/128").arg(index + 2, 0, 16)};
}

const DevService::DeviceKeys& DevService::keysFor(const QString& deviceUuid) {
    auto it = m_keys.find(deviceUuid);
    if (it == m_keys.end()) {
        DeviceKeys keys;
        keys.privateKey = wgTool({QStringLiteral("genkey")});
        if (keys.privateKey.isEmpty())
            keys.privateKey = randomKey();
        keys.publicKey = wgTool({QStringLiteral("pubkey")}, keys.privateKey.toLatin1() + '\n');
        keys.index = static_cast<int>(m_keys.size());
        it = m_keys.insert(deviceUuid, keys);
    }
    return *it;
}

// A tunnel-engine document in the WireGuard form, as the real service hands out per
// region: the device's own key and addresses, the exit as its one peer, everything routed,
// names resolved by the exit's DNS server at the first address of the tunnel's network.
QString DevService::engineConfig(const QString& region, const QString& deviceUuid) {
    const DeviceKeys& keys = keysFor(deviceUuid);
    const WireGuardExit exit = m_options.wireGuardExit.value_or(
        WireGuardExit{m_placeholderExitKey, QStringLiteral("192.0.2.1"), 51820});
    QJsonObject tun{{"type", "tun"},
                    {"tag", "tun-in"},
                    {"interface_name", QStringLiteral("veloxa-%1").arg(region)},
                    {"mtu", 1420},
                    {"auto_route", true},
                    {"strict_route", true},
                    {"stack", "system"}};
    QJsonObject peer{{"address", exit.host},
                     {"port", exit.port},
                     {"public_key", exit.publicKey},
                     {"allowed_ips", QJsonArray{"0.0.0.0/0", "::/0"}},
                     {"persistent_keepalive_interval", 25}};
    QJsonObject wireguard{{"type", "wireguard"},
                          {"tag", "wg"},
                          {"address", QJsonArray::fromStringList(tunnelAddresses(keys.index))},
                          {"private_key", keys.privateKey},
                          {"mtu", 1420},
                          {"peers", QJsonArray{peer}}};
    QJsonObject dns{
        {"servers",
         QJsonArray{QJsonObject{{"tag", "exit-dns"}, {"address", "10.66.0.1"}, {"detour", "wg"}}}},
        {"final", "exit-dns"}};
    QJsonObject doc{{"log", QJsonObject{{"level", "warn"}}},
                    {"dns", dns},
                    {"inbounds", QJsonArray{tun}},
                    {"endpoints", QJsonArray{wireguard}},
                    {"outbounds", QJsonArray{QJsonObject{{"type", "direct"}, {"tag", "direct"}}}},
                    {"route", QJsonObject{{"auto_detect_interface", true}, {"final", "wg"}}}};
    return QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Compact));
}

DevService::DevService(Options options, QObject* parent)
    : QAbstractHttpServer(parent), m_options(options), m_placeholderExitKey(randomKey()) {
    reset();
}

QString DevService::now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

void DevService::reset() {
    m_accounts.clear();
    m_codes.clear();
    m_sessions.clear();
    m_grants.clear();
    m_mailbox.clear();
    m_scripted.clear();
    m_requests.clear();
    const auto in = [](int days) {
        return QDateTime::currentDateTimeUtc().addDays(days).toString(Qt::ISODate);
    };
    m_accounts.insert(key(activeSeed), {activeSeed, QStringLiteral("active"), in(30), 5, {}});
    m_accounts.insert(key(expiredSeed), {expiredSeed, QStringLiteral("expired"), in(-3), 5, {}});
    Account full{fullSeed, QStringLiteral("active"), in(90), 5, {}};
    const char* names[] = {"Office iMac", "Travel MacBook", "Studio", "Kitchen Mac mini",
                           "Old MacBook Air"};
    for (int i = 0; i < 5; ++i)
        full.devices.append({QStringLiteral("0000000%1-AAAA-4BBB-8CCC-00000000000%1").arg(i + 1),
                             QString::fromLatin1(names[i]), QStringLiteral("macos-arm64"),
                             in(-100 + i * 10), std::nullopt});
    m_accounts.insert(key(fullSeed), full);
}

QUrl DevService::baseUrl() const {
    // serverPorts() only reads, but Qt 6.4 does not mark it const.
    const auto ports = const_cast<DevService*>(this)->serverPorts();
    return ports.isEmpty() ? QUrl()
                           : QUrl(QStringLiteral("http://127.0.0.1:%1").arg(ports.first()));
}

QStringList DevService::mailbox(const QString& email) const {
    return m_mailbox.value(key(email));
}

DevService::Reply DevService::json(int status, const QJsonObject& object) {
    return {status, QJsonDocument(object).toJson(QJsonDocument::Compact), "application/json"};
}

DevService::Reply DevService::error(int status, const QString& message) {
    return json(status, QJsonObject{{"error", message}});
}

DevService::Reply DevService::ok() {
    return json(200, QJsonObject{{"ok", true}});
}

bool DevService::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    RecordedRequest record;
    record.method = methodName(request.method());
    record.path = request.url().path(QUrl::FullyEncoded);
    if (request.url().hasQuery())
        record.path += u'?' + request.url().query(QUrl::FullyEncoded);
    for (const auto& [name, value] : request.headers())
        record.headers.insert(QString::fromLatin1(name).toLower(), QString::fromUtf8(value));
    record.body = request.body();
    // Everything but the controls is recorded and can be scripted.
    const bool isApi = !record.path.startsWith(u"/dev/");
    if (isApi) {
        m_requests.append(record);
        if (m_requests.size() > 100)
            m_requests.removeFirst();
    }

    Reply reply;
    int delayMs = 0;
    const auto scripted =
        std::find_if(m_scripted.begin(), m_scripted.end(), [&](const Scripted& s) {
            return isApi && record.path.startsWith(s.pathPrefix);
        });
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    if (scripted != m_scripted.end()) {
        reply = {scripted->status, scripted->body, scripted->contentType};
        delayMs = scripted->delayMs;
        m_scripted.erase(scripted);
    } else if (m_options.ipEchoUpstream.isValid() && request.url().path() == u"/ip") {
        relayIpEcho(responder, socket);
        return true;
    } else {
        reply = route(request);
    }

    auto send = [responder, reply, socket = QPointer<QTcpSocket>(socket)] {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        const auto status = static_cast<QHttpServerResponder::StatusCode>(reply.status);
        if (reply.body.isEmpty())
            responder->write(status);
        else
            responder->write(reply.body, reply.contentType, status);
    };
    if (delayMs > 0)
        QTimer::singleShot(delayMs, this, send);
    else
        send();
    return true;
}

// Asks the upstream echo what it sees of this service, so that behind a tunnel the
// answer is the tunnel's exit, as a public echo service would say.
void DevService::relayIpEcho(std::shared_ptr<QHttpServerResponder> responder, QTcpSocket* socket) {
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QUrl url = m_options.ipEchoUpstream;
    url.setQuery(QStringLiteral("format=json"));
    QNetworkRequest upstream(url);
    upstream.setTransferTimeout(3000);
    QNetworkReply* reply = m_network->get(upstream);
    connect(reply, &QNetworkReply::finished, this,
            [reply, responder, socket = QPointer<QTcpSocket>(socket)] {
                reply->deleteLater();
                if (!socket || socket->state() != QAbstractSocket::ConnectedState)
                    return;
                const QByteArray body = reply->readAll();
                const auto doc = QJsonDocument::fromJson(body);
                if (reply->error() != QNetworkReply::NoError || !doc.isObject() ||
                    !doc.object().value("ip").isString()) {
                    responder->write(QHttpServerResponder::StatusCode::BadGateway);
                    return;
                }
                responder->write(QJsonDocument(QJsonObject{{"ip", doc.object().value("ip")}})
                                     .toJson(QJsonDocument::Compact),
                                 "application/json", QHttpServerResponder::StatusCode::Ok);
            });
}

void DevService::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

DevService::Reply DevService::route(const QHttpServerRequest& request) {
    const QString method = methodName(request.method());
    const QString path = request.url().path(QUrl::FullyEncoded);
    if (path.startsWith(u"/api/"))
        return routeApi(method, path.mid(4), request);
    if (path.startsWith(u"/dev/"))
        return routeDev(method, path.mid(4), request);
    if (path == u"/ip") {
        const QString ip = QStringLiteral("203.0.113.10");
        if (request.query().queryItemValue(QStringLiteral("format")) == u"json")
            return json(200, QJsonObject{{"ip", ip}});
        return {200, ip.toUtf8(), "text/plain"};
    }
    return error(404, QStringLiteral("Not found"));
}

namespace {
std::optional<QJsonObject> bodyObject(const QHttpServerRequest& request) {
    QJsonParseError parseError;
    const auto doc = QJsonDocument::fromJson(request.body(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}
} // namespace

DevService::Reply DevService::routeApi(const QString& method, const QString& path,
                                       const QHttpServerRequest& request) {
    const QString devicesPrefix = QStringLiteral("/singbox/client/devices/");
    const bool needsBody = method == u"POST" && (path == u"/singbox/client/otp/request" ||
                                                 path == u"/singbox/client/otp/verify" ||
                                                 path == u"/singbox/client/devices/replace");
    std::optional<QJsonObject> body;
    if (needsBody) {
        body = bodyObject(request);
        if (!body)
            return error(400, QStringLiteral("The request body must be a JSON object"));
    }
    if (path == u"/singbox/client/otp/request")
        return method == u"POST" ? requestCode(*body)
                                 : error(405, QStringLiteral("Method not allowed"));
    if (path == u"/singbox/client/otp/verify")
        return method == u"POST" ? verifyCode(*body)
                                 : error(405, QStringLiteral("Method not allowed"));
    if (path == u"/singbox/client/me")
        return method == u"GET" ? me(request) : error(405, QStringLiteral("Method not allowed"));
    if (path == u"/singbox/client/logout")
        return method == u"POST" ? logout(request)
                                 : error(405, QStringLiteral("Method not allowed"));
    if (path == u"/singbox/client/devices/replace")
        return method == u"POST" ? replaceDevice(*body)
                                 : error(405, QStringLiteral("Method not allowed"));
    if (path.startsWith(devicesPrefix) && path.size() > devicesPrefix.size()) {
        if (method != u"DELETE")
            return error(405, QStringLiteral("Method not allowed"));
        return deleteDevice(path.mid(devicesPrefix.size()), request);
    }
    return error(404, QStringLiteral("Not found"));
}

DevService::Account& DevService::accountFor(const QString& email) {
    auto it = m_accounts.find(key(email));
    if (it == m_accounts.end())
        it = m_accounts.insert(key(email),
                               {email.trimmed(), QStringLiteral("inactive"), std::nullopt, 5, {}});
    return *it;
}

DevService::Reply DevService::requestCode(const QJsonObject& body) {
    const QString email = body.value("email").toString();
    if (!validEmail(email))
        return error(400, QStringLiteral("Invalid email address"));
    const QString code =
        QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(1000000), 6, 10, QChar(u'0'));
    m_codes.insert(key(email),
                   {code, QDateTime::currentDateTimeUtc().addSecs(m_options.codeTtlSeconds),
                    m_options.codeAttempts});
    m_mailbox[key(email)].append(code);
    if (m_options.printCodes) {
        std::printf("[devservice] sign-in code for %s: %s\n", qPrintable(email), qPrintable(code));
        std::fflush(stdout);
    }
    return ok();
}

DevService::Reply DevService::verifyCode(const QJsonObject& body) {
    for (const char* field : {"email", "code", "device_uuid", "device_name", "platform"})
        if (!body.value(QLatin1String(field)).isString() ||
            body.value(QLatin1String(field)).toString().isEmpty())
            return error(400, QStringLiteral("Missing field: %1").arg(QLatin1String(field)));
    const QString email = body.value("email").toString();
    const QString deviceUuid = body.value("device_uuid").toString();
    auto pending = m_codes.find(key(email));
    if (pending == m_codes.end() || pending->expires < QDateTime::currentDateTimeUtc()) {
        if (pending != m_codes.end())
            m_codes.erase(pending);
        return error(400, QStringLiteral("The code has expired. Request a new one."));
    }
    if (pending->code != body.value("code").toString()) {
        if (--pending->attemptsLeft <= 0) {
            m_codes.erase(pending);
            return error(400, QStringLiteral("Too many attempts. Request a new code."));
        }
        return error(400, QStringLiteral("Invalid code"));
    }
    m_codes.erase(pending);

    Account& account = accountFor(email);
    const Device device{deviceUuid, body.value("device_name").toString(),
                        body.value("platform").toString(), now(), now()};
    const auto existing = std::find_if(account.devices.begin(), account.devices.end(),
                                       [&](const Device& d) { return d.uuid == deviceUuid; });
    if (existing != account.devices.end()) {
        existing->name = device.name;
        existing->platform = device.platform;
        existing->lastSeenAt = now();
    } else if (account.devices.size() >= account.maxDevices) {
        const QString grant = randomHex(24);
        m_grants.insert(grant,
                        {account.email, device,
                         QDateTime::currentDateTimeUtc().addSecs(m_options.replaceTtlSeconds)});
        return json(409, QJsonObject{{"replace_token", grant},
                                     {"max_devices", account.maxDevices},
                                     {"devices", devicesJson(account)}});
    } else {
        account.devices.append(device);
    }
    return loginResult(account.email, deviceUuid);
}

QJsonArray DevService::configsFor(const QString& deviceUuid) {
    QJsonArray configs;
    const std::pair<const char*, const char*> regions[] = {{"de", "Germany · Frankfurt"},
                                                           {"ru", "Russia · Moscow"}};
    for (const auto& [region, label] : regions)
        configs.append(
            QJsonObject{{"region", region},
                        {"region_label", QString::fromUtf8(label)},
                        {"config", engineConfig(QLatin1String(region), deviceUuid)},
                        {"filename", QStringLiteral("veloxa-%1.json").arg(QLatin1String(region))}});
    return configs;
}

QJsonArray DevService::devicesJson(const Account& account) {
    QJsonArray devices;
    for (const Device& d : account.devices) {
        QJsonObject o{{"device_uuid", d.uuid},
                      {"device_name", d.name},
                      {"platform", d.platform},
                      {"regions", QJsonArray{"de", "ru"}},
                      {"created_at", d.createdAt}};
        if (d.lastSeenAt)
            o.insert("last_seen_at", *d.lastSeenAt);
        devices.append(o);
    }
    return devices;
}

QJsonObject DevService::accountJson(const Account& account, const QString& deviceUuid) {
    QJsonObject out{{"email", account.email},
                    {"status", account.status},
                    {"devices", devicesJson(account)},
                    {"configs", configsFor(deviceUuid)}};
    if (account.expiresAt)
        out.insert("expires_at", *account.expiresAt);
    return out;
}

QString DevService::issueToken(const QString& email, const QString& deviceUuid) {
    const QString token = randomHex(32);
    m_sessions.insert(token, {key(email), deviceUuid});
    return token;
}

DevService::Reply DevService::loginResult(const QString& email, const QString& deviceUuid) {
    QJsonObject out = accountJson(accountFor(email), deviceUuid);
    out.insert("token", issueToken(email, deviceUuid));
    return json(200, out);
}

void DevService::revokeDeviceTokens(const QString& email, const QString& deviceUuid) {
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it =
            (it->email == key(email) && it->deviceUuid == deviceUuid) ? m_sessions.erase(it) : ++it;
}

std::optional<DevService::Session> DevService::sessionFor(const QHttpServerRequest& request) {
    const QByteArray header = request.value("Authorization");
    if (!header.startsWith("Bearer "))
        return std::nullopt;
    const auto it = m_sessions.constFind(QString::fromUtf8(header.mid(7)));
    if (it == m_sessions.cend() || !m_accounts.contains(it->email))
        return std::nullopt;
    return *it;
}

// A refused token answers 401 without an error body: that is how clients learn that
// the service dropped their session.
DevService::Reply DevService::me(const QHttpServerRequest& request) {
    const auto session = sessionFor(request);
    if (!session)
        return {401, {}, {}};
    Account& account = m_accounts[session->email];
    for (Device& d : account.devices)
        if (d.uuid == session->deviceUuid)
            d.lastSeenAt = now();
    return json(200, accountJson(account, session->deviceUuid));
}

DevService::Reply DevService::logout(const QHttpServerRequest& request) {
    const QByteArray header = request.value("Authorization");
    if (!sessionFor(request))
        return {401, {}, {}};
    m_sessions.remove(QString::fromUtf8(header.mid(7)));
    return ok();
}

DevService::Reply DevService::deleteDevice(const QString& encodedId,
                                           const QHttpServerRequest& request) {
    const auto session = sessionFor(request);
    if (!session)
        return {401, {}, {}};
    const QString id = QUrl::fromPercentEncoding(encodedId.toUtf8());
    Account& account = m_accounts[session->email];
    const auto removed = account.devices.removeIf([&](const Device& d) { return d.uuid == id; });
    if (removed == 0)
        return error(404, QStringLiteral("Device not found"));
    revokeDeviceTokens(account.email, id);
    return ok();
}

DevService::Reply DevService::replaceDevice(const QJsonObject& body) {
    const QString grantToken = body.value("replace_token").toString();
    const QString oldUuid = body.value("old_device_uuid").toString();
    if (grantToken.isEmpty() || oldUuid.isEmpty())
        return error(400, QStringLiteral("Missing field: %1")
                              .arg(grantToken.isEmpty() ? "replace_token" : "old_device_uuid"));
    const auto grant = m_grants.constFind(grantToken);
    if (grant == m_grants.cend() || grant->expires < QDateTime::currentDateTimeUtc())
        return error(400, QStringLiteral("The replacement offer has expired. Sign in again."));
    Account& account = accountFor(grant->email);
    const auto old = std::find_if(account.devices.begin(), account.devices.end(),
                                  [&](const Device& d) { return d.uuid == oldUuid; });
    if (old == account.devices.end())
        return error(404, QStringLiteral("Device not found"));
    const Device device = grant->device;
    m_grants.remove(grantToken); // one-time
    account.devices.erase(old);
    revokeDeviceTokens(account.email, oldUuid);
    account.devices.append(device);
    return loginResult(account.email, device.uuid);
}

DevService::Reply DevService::routeDev(const QString& method, const QString& path,
                                       const QHttpServerRequest& request) {
    if (method == u"GET" && path == u"/mailbox") {
        const QString email =
            request.query().queryItemValue(QStringLiteral("email"), QUrl::FullyDecoded);
        return json(200, QJsonObject{{"email", email},
                                     {"codes", QJsonArray::fromStringList(mailbox(email))}});
    }
    if (method == u"GET" && path == u"/wireguard-peers") {
        QJsonArray peers;
        for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it)
            peers.append(
                QJsonObject{{"device_uuid", it.key()},
                            {"public_key", it->publicKey},
                            {"address", QJsonArray::fromStringList(tunnelAddresses(it->index))}});
        return json(200, QJsonObject{{"peers", peers}});
    }
    if (method == u"GET" && path == u"/requests") {
        QJsonArray list;
        for (const auto& r : m_requests) {
            QJsonObject headers;
            for (auto it = r.headers.cbegin(); it != r.headers.cend(); ++it)
                headers.insert(it.key(), it.value());
            list.append(QJsonObject{{"method", r.method},
                                    {"path", r.path},
                                    {"headers", headers},
                                    {"body", QString::fromUtf8(r.body)}});
        }
        return json(200, QJsonObject{{"requests", list}});
    }
    if (method != u"POST")
        return error(405, QStringLiteral("Method not allowed"));
    if (path == u"/reset") {
        reset();
        return ok();
    }
    const auto body = bodyObject(request);
    if (!body)
        return error(400, QStringLiteral("The request body must be a JSON object"));
    if (path == u"/accounts") {
        const QString email = body->value("email").toString();
        if (!validEmail(email))
            return error(400, QStringLiteral("Invalid email address"));
        Account& account = accountFor(email);
        if (body->contains("status")) {
            if (!body->value("status").isString())
                return error(400, QStringLiteral("status must be a string"));
            account.status = body->value("status").toString();
        }
        if (body->contains("expires_at"))
            account.expiresAt = body->value("expires_at").isString()
                                    ? std::optional<QString>(body->value("expires_at").toString())
                                    : std::nullopt;
        if (body->contains("max_devices")) {
            const int max = body->value("max_devices").toInt(-1);
            if (max < 0)
                return error(400, QStringLiteral("max_devices must be a whole number"));
            account.maxDevices = max;
        }
        return ok();
    }
    if (path == u"/revoke") {
        const QString token = body->value("token").toString();
        const QString email = key(body->value("email").toString());
        qsizetype removed = 0;
        for (auto it = m_sessions.begin(); it != m_sessions.end();) {
            const bool drop =
                (!token.isEmpty() && it.key() == token) || (!email.isEmpty() && it->email == email);
            removed += drop;
            it = drop ? m_sessions.erase(it) : ++it;
        }
        return json(200, QJsonObject{{"ok", true}, {"revoked", static_cast<int>(removed)}});
    }
    if (path == u"/next-response") {
        const int status = body->value("status").toInt(0);
        if (status < 100 || status > 599)
            return error(400, QStringLiteral("status must be an HTTP status code"));
        m_scripted.append(
            {status, body->value("body").toString().toUtf8(),
             body->value("content_type").toString(QStringLiteral("application/json")).toUtf8(),
             qBound(0, body->value("delay_ms").toInt(0), 600000),
             body->value("path").toString(QStringLiteral("/api/"))});
        return ok();
    }
    return error(404, QStringLiteral("Not found"));
}

} // namespace veloxa::dev
