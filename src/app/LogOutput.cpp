#include "LogOutput.h"

#include <QList>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace veloxa {

namespace {

bool g_journal = false;

// sd-daemon priority prefixes, which the journal reads off each line of a stream.
int priority(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return 7;
    case QtInfoMsg:
        return 6;
    case QtWarningMsg:
        return 4;
    case QtCriticalMsg:
        return 3;
    case QtFatalMsg:
        return 2;
    }
    return 6;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = LogOutput::format(type, context.category, message, g_journal);
    if (!line.isEmpty()) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    }
}

} // namespace

bool LogOutput::stderrIsJournal() {
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const auto parts = stream.split(':');
    if (parts.size() != 2)
        return false;
    struct stat info = {};
    if (::fstat(2, &info) != 0)
        return false;
    bool deviceOk = false, inodeOk = false;
    const auto device = parts[0].toULongLong(&deviceOk);
    const auto inode = parts[1].toULongLong(&inodeOk);
    return deviceOk && inodeOk && device == info.st_dev && inode == info.st_ino;
}

QByteArray LogOutput::format(QtMsgType type, const char* category, const QString& message,
                             bool journal) {
    const QByteArray name = category ? QByteArray(category) : QByteArray("default");
    // The tunnel log at every level; the default log (the extension activator's progress)
    // from info up; everyone else's from warnings up.
    const bool tunnel = name == "SingboxTunnel";
    if (!tunnel && (type == QtDebugMsg || (type == QtInfoMsg && name != "default")))
        return {};
    QByteArray line;
    if (journal)
        line = '<' + QByteArray::number(priority(type)) + '>';
    else
        line = "veloxa: ";
    if (name != "default")
        line += name + ": ";
    // One journal entry per message: line breaks inside it would split it.
    line += message.toUtf8().replace('\n', ' ');
    line += '\n';
    return line;
}

void LogOutput::install() {
    g_journal = stderrIsJournal();
    qInstallMessageHandler(handler);
}

} // namespace veloxa
