#pragma once

#include "ModelEnums.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

namespace veloxa {

class AppState;

// What scripts may see of the running client and ask of it (the desktop bus and the
// command line): the connection's state and connect / disconnect / toggle / show. Never the
// token, the e-mail address or a configuration.
class ClientControl : public QObject {
    Q_OBJECT
public:
    struct Snapshot {
        QString status;   // the tunnel status word: "inactive", "active", "reasserting", ...
        QString region;   // "de" or "ru"
        QString publicIP; // empty while unknown
        qint64 sessionStartedAt = 0; // Unix seconds; 0 without a session
        quint64 rxBytes = 0;
        quint64 txBytes = 0;
        bool signedIn = false;
        QString errorMessage; // the connection's error, in the interface language; may be empty
        bool operator==(const Snapshot&) const = default;
    };

    ClientControl(AppState& model, std::function<void()> showWindow, QObject* parent = nullptr);

    Snapshot snapshot() const;
    // "de" or "ru"; anything else is not a region.
    static std::optional<ModelEnums::Region> regionFromCode(const QString& code);

    // Answers why it refused, in the interface language, or nothing when the request went
    // ahead (the outcome arrives as changes). Right after the client starts, the account is
    // still loading: the request waits for it (at most `accountWait`) instead of being
    // refused for want of a configuration.
    using Done = std::function<void(std::optional<QString> refusal)>;
    void connect(std::optional<ModelEnums::Region> region, Done done);
    void toggle(Done done);
    void disconnect();
    void showWindow();

    static constexpr int accountWaitMs = 15000;

signals:
    // Something in the snapshot changed; `countersOnly` when only the byte counters did.
    void changed(bool countersOnly);

private:
    // Signed in, but the service has not described the account yet.
    bool accountLoading() const;
    void whenAccountLoaded(std::function<void()> then);
    std::optional<QString> connectNow(std::optional<ModelEnums::Region> region);

    AppState& m_model;
    std::function<void()> m_showWindow;
};

} // namespace veloxa
