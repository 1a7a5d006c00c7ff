#include "app/AppState.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SignInForm.h"
#include "localization/Localization.h"

#include <QAnimationDriver>
#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QtQuickTest>

using namespace veloxa;

// Qt Quick's clock for animations and timers, moved by hand: a test measures the motions
// in their own time, without waiting for them.
class ManualClock : public QAnimationDriver {
    Q_OBJECT
    Q_PROPERTY(double now READ now)
public:
    using QAnimationDriver::QAnimationDriver;
    // Takes over from the wall clock: running from the start, never stopped.
    void begin() {
        install();
        start();
    }
    qint64 elapsed() const override { return m_now; }
    double now() const { return double(m_now); }
    // Moves time on by `ms`, one 16 ms frame at a time. Qt registers animations and timers,
    // and timers announce that they fired, through posted events: each frame delivers them.
    Q_INVOKABLE void step(int ms) {
        for (int done = 0; done < ms; done += 16) {
            QCoreApplication::sendPostedEvents();
            m_now += std::min(16, ms - done);
            advance();
        }
        QCoreApplication::sendPostedEvents();
    }

protected:
    // Qt stops the driver while only timers wait, and then times them by the wall clock.
    void stop() override {}

private:
    qint64 m_now = 0;
};

// Makes models in preview states for the view tests; each test gets fresh objects.
class Fixture : public QObject {
    Q_OBJECT
    ManualClock* m_clock = nullptr;

public:
    Q_INVOKABLE QObject* model(const QString& previewState) {
        auto* state = new AppState(AppState::Dependencies::offline(), this);
        ModelPreview::apply(*state, previewState);
        return state;
    }
    // Also behind the pages' repeaters, whose items no object owns (TestCase.findChild
    // follows only owners and visual children).
    Q_INVOKABLE QObject* find(QObject* root, const QString& name) {
        return QmlTypes::findNamed(root, name);
    }
    Q_INVOKABLE QObject* form(QObject* model) {
        return new SignInForm(qobject_cast<AppState*>(model)->signInFlow(), model);
    }
    // The manual clock, installed until releaseClock (each test's cleanup).
    Q_INVOKABLE QObject* clock() {
        if (!m_clock) {
            m_clock = new ManualClock(this);
            m_clock->begin();
        }
        return m_clock;
    }
    Q_INVOKABLE void releaseClock() {
        if (m_clock)
            m_clock->uninstall();
        delete std::exchange(m_clock, nullptr);
    }
    Q_INVOKABLE void setCounters(QObject* model, double received, double sent) {
        auto* state = qobject_cast<AppState*>(model);
        state->connection().setSessionRxBytes(quint64(received));
        state->connection().setSessionTxBytes(quint64(sent));
    }
    // Lists the account's devices as an account refresh would, keeping those in `uuids`.
    Q_INVOKABLE void listDevices(QObject* model, const QStringList& uuids) {
        auto* state = qobject_cast<AppState*>(model);
        QList<DeviceSummary> kept;
        for (const DeviceSummary& device : state->devices())
            if (uuids.contains(device.deviceUuid))
                kept.append(device);
        state->deviceList()->setDevices(kept, state->currentDeviceUUID());
    }
};

class Setup : public QObject {
    Q_OBJECT
    Fixture fixture;
public slots:
    void applicationAvailable() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        QmlTypes::prepareEngine(*engine);
        engine->rootContext()->setContextProperty(QStringLiteral("fixture"), &fixture);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(ui, Setup)
#include "tst_ui.moc"
