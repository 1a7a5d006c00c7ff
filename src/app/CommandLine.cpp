#include "CommandLine.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace veloxa {

namespace {

// Texts of the "CommandLine" context, in the interface language.
QString say(const char* text) {
    return QCoreApplication::translate("CommandLine", text);
}

const QStringList actions{QStringLiteral("--status"), QStringLiteral("--connect"),
                          QStringLiteral("--disconnect"), QStringLiteral("--toggle")};

bool isUp(const QString& status) {
    return status == u"active" || status == u"reasserting";
}

} // namespace

bool CommandLine::isCommand(const QStringList& arguments) {
    // The window's own switches and Qt's; any other "--" word is a command, so a misspelt
    // one ends with the usage and status 2 instead of opening the window and reporting 0.
    static const QStringList windowOptions{
        QStringLiteral("--hidden"),        QStringLiteral("--self-test"),
        QStringLiteral("--platform"),      QStringLiteral("--platformpluginpath"),
        QStringLiteral("--platformtheme"), QStringLiteral("--plugin"),
        QStringLiteral("--style"),         QStringLiteral("--stylesheet"),
        QStringLiteral("--reverse"),       QStringLiteral("--session"),
        QStringLiteral("--display"),       QStringLiteral("--qwindowgeometry"),
        QStringLiteral("--qwindowtitle"),  QStringLiteral("--qwindowicon"),
        QStringLiteral("--qmljsdebugger")};
    for (const QString& argument : arguments)
        if (argument == u"-h" ||
            (argument.startsWith(u"--") && !windowOptions.contains(argument.section(u'=', 0, 0))))
            return true;
    return false;
}

CommandLine::CommandLine(RemoteClient& client, Clock clock, std::FILE* out, std::FILE* err)
    : m_client(client), m_clock(std::move(clock)), m_out(out), m_err(err) {}

int CommandLine::usage(std::FILE* to, int exitCode) {
    const QString text = say(QT_TRANSLATE_NOOP(
        "CommandLine",
        "Usage: veloxa [--status | --connect [de|ru] | --disconnect | --toggle]\n"
        "              [--json] [--wait SECONDS]\n"
        "Asks the running Veloxa (starting it in the tray for an action) and prints the\n"
        "connection's status: the status word, and while connected the region and the\n"
        "public IP address.\n"
        "  --status          print the status\n"
        "  --connect [de|ru] connect, to the region given or the one selected\n"
        "  --disconnect      disconnect\n"
        "  --toggle          connect when disconnected, otherwise disconnect\n"
        "  --json            print one JSON object instead of the line\n"
        "  --wait SECONDS    with an action: wait until it is done\n"
        "Exit status: 0 done, 1 refused (the reason on standard error), 2 a bad argument,\n"
        "3 the wait ran out.\n"));
    std::fputs(text.toLocal8Bit().constData(), to);
    return exitCode;
}

void CommandLine::fail(const QString& message) {
    std::fprintf(m_err, "veloxa: %s\n", message.toLocal8Bit().constData());
}

void CommandLine::print(const ClientControl::Snapshot& s, bool json) {
    QString line;
    if (json) {
        const QJsonObject object{{"status", s.status},
                                 {"region", s.region},
                                 {"publicIP", s.publicIP},
                                 {"sessionStartedAt", s.sessionStartedAt},
                                 // Doubles hold every count below 2^53, about 9 PB.
                                 {"rxBytes", double(s.rxBytes)},
                                 {"txBytes", double(s.txBytes)},
                                 {"signedIn", s.signedIn},
                                 {"error", s.errorMessage}};
        line = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    } else {
        line = s.status;
        if (isUp(s.status)) {
            line += u' ' + s.region;
            if (!s.publicIP.isEmpty())
                line += u' ' + s.publicIP;
        }
    }
    std::fprintf(m_out, "%s\n", line.toLocal8Bit().constData());
    std::fflush(m_out);
}

int CommandLine::run(const QStringList& arguments) {
    QString action, region;
    bool json = false;
    std::optional<int> waitSeconds;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help" || argument == u"-h")
            return usage(m_out, reached);
        if (actions.contains(argument)) {
            if (!action.isEmpty())
                return usage(m_err, badArgument);
            action = argument;
            if (argument == u"--connect" && i + 1 < arguments.size() &&
                !arguments[i + 1].startsWith(u'-')) {
                region = arguments[++i];
                if (!ClientControl::regionFromCode(region))
                    return usage(m_err, badArgument);
            }
        } else if (argument == u"--json") {
            json = true;
        } else if (argument == u"--wait" && i + 1 < arguments.size()) {
            bool ok = false;
            const int seconds = arguments[++i].toInt(&ok);
            if (!ok || seconds < 0 || seconds > 24 * 3600)
                return usage(m_err, badArgument);
            waitSeconds = seconds;
        } else {
            return usage(m_err, badArgument);
        }
    }
    if (action.isEmpty() || (waitSeconds && action == u"--status"))
        return usage(m_err, badArgument);
    // The wait counts from here: starting the client and the request are part of it.
    const qint64 deadline = m_clock.nowMs() + qint64(waitSeconds.value_or(0)) * 1000;

    if (!m_client.running()) {
        if (action == u"--status") {
            ClientControl::Snapshot none;
            none.status = QStringLiteral("not-running");
            print(none, json);
            return reached;
        }
        if (!m_client.start()) {
            fail(say(QT_TRANSLATE_NOOP("CommandLine", "Veloxa did not start")));
            return refused;
        }
    }
    auto before = m_client.snapshot();
    if (!before) {
        fail(before.error());
        return refused;
    }
    QString target; // the status word that means done
    if (action != u"--status") {
        const auto kind = action == u"--connect"      ? RemoteClient::Action::connect
                          : action == u"--disconnect" ? RemoteClient::Action::disconnect
                                                      : RemoteClient::Action::toggle;
        const bool connecting = kind == RemoteClient::Action::connect ||
                                (kind == RemoteClient::Action::toggle && !isUp(before->status));
        target = connecting ? QStringLiteral("active") : QStringLiteral("inactive");
        if (const auto refusal = m_client.request(kind, region)) {
            fail(*refusal);
            return refused;
        }
    }
    bool moved = false; // the status left where it was before the request
    for (;;) {
        const auto now = m_client.snapshot();
        if (!now) {
            fail(now.error());
            return refused;
        }
        if (!waitSeconds || now->status == target) {
            print(*now, json);
            return reached;
        }
        // A connect that fell back has failed, with or without a reason; waiting longer
        // changes nothing.
        moved = moved || now->status != before->status;
        if (target == u"active" && now->status == u"inactive" &&
            (!now->errorMessage.isEmpty() || moved)) {
            fail(!now->errorMessage.isEmpty()
                     ? now->errorMessage
                     : say(QT_TRANSLATE_NOOP("CommandLine", "The connection could not be made")));
            return refused;
        }
        if (m_clock.nowMs() >= deadline) {
            print(*now, json);
            fail(say(QT_TRANSLATE_NOOP("CommandLine", "Waiting ran out")));
            return timedOut;
        }
        m_clock.sleepMs(pollMs);
    }
}

} // namespace veloxa
