#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace veloxa {

// Where the client's log lines go: to the journal when stderr is the journal's stream
// (the process runs under systemd), with the line's priority, else plainly to stderr.
// The client logs through the tunnel category only; Qt's own warnings still pass, since
// they report faults, while other categories' debug and info lines are dropped.
class LogOutput {
public:
    static void install();

    // Whether stderr is the stream systemd named in JOURNAL_STREAM ("device:inode").
    static bool stderrIsJournal();
    // The line as written, or nothing when it is dropped.
    static QByteArray format(QtMsgType type, const char* category, const QString& message,
                             bool journal);
};

} // namespace veloxa
