#pragma once

#include "RemoteClient.h"

#include <QStringList>
#include <cstdio>
#include <functional>

namespace veloxa {

// `veloxa --status | --connect [de|ru] | --disconnect | --toggle [--json] [--wait SECONDS]`:
// hands the request to the running client (starting it without its window for the three
// actions) and prints one line, or one JSON object. Exit status: 0 the outcome is reached,
// 1 refused (the reason on stderr), 2 a bad argument (usage on stderr), 3 the wait ran out.
class CommandLine {
public:
    enum Exit { reached = 0, refused = 1, badArgument = 2, timedOut = 3 };

    struct Clock {
        std::function<qint64()> nowMs;
        std::function<void(int ms)> sleepMs;
    };

    // Whether the arguments ask for a command-line action rather than the window.
    static bool isCommand(const QStringList& arguments);

    CommandLine(RemoteClient& client, Clock clock, std::FILE* out, std::FILE* err);
    // `arguments` without the program name.
    int run(const QStringList& arguments);

    static constexpr int pollMs = 200;

private:
    int usage(std::FILE* to, int exitCode);
    void print(const ClientControl::Snapshot& snapshot, bool json);
    void fail(const QString& message);

    RemoteClient& m_client;
    Clock m_clock;
    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace veloxa
