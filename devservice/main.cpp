#include "DevService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veloxa-devservice"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local implementation of the Veloxa service API for the demo and tests.\n"
        "Seed accounts: active@veloxa.test (active), expired@veloxa.test (expired),\n"
        "full@veloxa.test (active, all 5 device slots taken). Any other address gets an\n"
        "account without a subscription. Sign-in codes are printed here and readable at\n"
        "GET /dev/mailbox?email=ADDRESS. Each device gets a WireGuard key pair and\n"
        "tunnel addresses; GET /dev/wireguard-peers lists them for the exit to admit."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"), QStringLiteral("TCP port (0 picks a free one)."),
                      QStringLiteral("port"), QStringLiteral("8787")});
    parser.addOption({QStringLiteral("host"), QStringLiteral("Loopback address to bind."),
                      QStringLiteral("address"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("code-ttl"),
                      QStringLiteral("Seconds a sign-in code stays valid."),
                      QStringLiteral("seconds"), QStringLiteral("600")});
    parser.addOption({QStringLiteral("wireguard-exit"),
                      QStringLiteral("The WireGuard server the configurations point at."),
                      QStringLiteral("PUBKEY@HOST:PORT")});
    parser.addOption({QStringLiteral("ip-echo-upstream"),
                      QStringLiteral("Answer /ip with what this echo URL says (plain http)."),
                      QStringLiteral("url")});
    parser.process(app);

    const QHostAddress host(parser.value(QStringLiteral("host")));
    if (host.isNull() || !host.isLoopback()) {
        std::fprintf(stderr, "veloxa-devservice: refusing to bind %s: loopback addresses only\n",
                     qPrintable(parser.value(QStringLiteral("host"))));
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(QStringLiteral("port")).toUInt(&portOk);
    bool ttlOk = false;
    const int ttl = parser.value(QStringLiteral("code-ttl")).toInt(&ttlOk);
    if (!portOk || port > 65535 || !ttlOk || ttl <= 0) {
        std::fprintf(stderr, "veloxa-devservice: bad --port or --code-ttl\n");
        return 2;
    }
    veloxa::dev::DevService::Options options;
    options.codeTtlSeconds = ttl;
    if (parser.isSet(QStringLiteral("wireguard-exit"))) {
        options.wireGuardExit = veloxa::dev::DevService::WireGuardExit::parse(
            parser.value(QStringLiteral("wireguard-exit")));
        if (!options.wireGuardExit) {
            std::fprintf(stderr, "veloxa-devservice: --wireguard-exit takes PUBKEY@HOST:PORT\n");
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("ip-echo-upstream"))) {
        options.ipEchoUpstream = QUrl(parser.value(QStringLiteral("ip-echo-upstream")));
        if (!options.ipEchoUpstream.isValid() || options.ipEchoUpstream.scheme() != u"http") {
            std::fprintf(stderr, "veloxa-devservice: --ip-echo-upstream takes an http URL\n");
            return 2;
        }
    }
    veloxa::dev::DevService service(options);
    const quint16 bound = service.listen(host, static_cast<quint16>(port));
    if (bound == 0) {
        std::fprintf(stderr, "veloxa-devservice: cannot listen on %s:%u\n",
                     qPrintable(host.toString()), port);
        return 1;
    }
    std::printf("veloxa-devservice listening on http://%s:%u\n", qPrintable(host.toString()),
                bound);
    std::fflush(stdout);
    return app.exec();
}
