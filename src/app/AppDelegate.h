#pragma once

#include "AppState.h"
#include "platform/TrayBackend.h"
#include "platform/sysext/ServiceApproval.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QMessageBox>
#include <QObject>
#include <expected>
#include <functional>
#include <memory>

class QQuickView;

namespace veloxa {

class Bundle;
class ClientControl;
class SignInForm;
class SimpleMainMenu;
class TrayController;

// Owns the long-lived pieces of the user interface and decides what happens at launch,
// when the window closes, when the application is asked to show itself and when it quits.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    using LoadResult = std::expected<SingboxTunnelsManager::Pointer, QString>;
    // What the delegate asks of the system; tests replace each piece.
    struct Hooks {
        // Loads the tunnel configurations and answers with a tunnels manager or the error.
        std::function<void(std::function<void(LoadResult)>)> loadTunnels;
        // Submits the tunnel service's activation for the model.
        std::function<void(AppState&)> activateExtension;
        // The desktop's status item, or nothing when the desktop offers no tray.
        std::function<std::unique_ptr<TrayBackend>()> makeTray;
        // The desktop's notifications, used when there is no tray item to show them.
        std::function<std::unique_ptr<Notifier>()> makeNotifier;
        // A modal alert with one button.
        std::function<void(QMessageBox::Icon, const QString& text, const QString& informative)>
            alert;
        // Leaves the event loop.
        std::function<void()> exitProcess;
        // Calls back once, the next time the tunnel service answers.
        std::function<void(std::function<void()>)> whenServiceAnswers;
        // What approving the tunnel service takes right now.
        std::function<ServiceApproval::Step()> approvalStep;
        // Enables and starts the installed service; the callback gets an error or nothing.
        std::function<void(std::function<void(std::optional<QString>)>)> startService;
        // Puts the client where scripts reach it; what it returns keeps it there.
        std::function<std::unique_ptr<QObject>(ClientControl&)> publishControl;

        static Hooks production();
    };

    AppDelegate(const AppState::Dependencies& dependencies, Hooks hooks, const Bundle& bundle);
    ~AppDelegate() override;

    AppState& appState() { return *m_appState; }
    SignInForm& signInForm() { return *m_form; }
    const SingboxTunnelsManager::Pointer& tunnelsManager() const { return m_tunnelsManager; }
    QQuickView* window() const { return m_window.get(); }
    TrayController* trayController() const { return m_trayController.get(); }
    SimpleMainMenu* mainMenu() const { return m_mainMenu.get(); }

    // The alerts' one look: English texts and an "OK" button in every interface language.
    static std::unique_ptr<QMessageBox> makeAlert(QMessageBox::Icon icon, const QString& text,
                                                  const QString& informative);

    // Started by a script: the launch shows no window (the tray item or another start does).
    void setStartHidden(bool hidden) { m_startHidden = hidden; }
    void applicationWillFinishLaunching();
    // The launch sequence.
    void applicationDidFinishLaunching();
    // Another start of the client asked us to show ourselves.
    bool applicationShouldHandleReopen();
    // The quit confirmation: an alert while the tunnel is active; never refuses.
    bool applicationShouldTerminate();

    void showMainWindow();
    void aboutClicked();
    // The approval banner's button: start the service, or say what the user must do.
    void approveTunnelService();
    // Another start of the client handed over, with the desktop's activation token.
    void handOver(const QString& activationToken);
    // Every way a user quits: the confirmation rule, then the end of the process.
    void quit();
    // Quits without asking (signals, end of the desktop session): nobody reads a dialog.
    void terminateNow();

signals:
    // The window's first frame is on screen (start-up benchmarks wait for it).
    void firstFrameSwapped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWindow();
    // The desktop is told when the connection drops and when it is back.
    void announceReconnects();
    void loadTunnelConfigurations();
    void publishControl();
    void hideApplication();
    void windowClosed();

    Hooks m_hooks;
    std::unique_ptr<AppState> m_appState;
    std::unique_ptr<SignInForm> m_form;
    SingboxTunnelsManager::Pointer m_tunnelsManager;
    std::unique_ptr<SimpleMainMenu> m_mainMenu;
    std::unique_ptr<QQuickView> m_window;
    std::unique_ptr<TrayBackend> m_trayBackend;
    std::unique_ptr<Notifier> m_notifier;
    std::unique_ptr<ClientControl> m_control;
    std::unique_ptr<QObject> m_controlPublication;
    bool m_startHidden = false;
    std::unique_ptr<TrayController> m_trayController;
    const Bundle& m_bundle;
    bool m_quitting = false;
    bool m_loadFailedOnce = false;
};

} // namespace veloxa
