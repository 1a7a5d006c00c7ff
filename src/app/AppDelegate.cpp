#include "AppDelegate.h"

#include "ClientControl.h"
#include "QmlTypes.h"
#include "SignInForm.h"
#include "SimpleMainMenu.h"
#include "TrayController.h"
#include "localization/Localization.h"
#include "platform/Bundle.h"
#include "platform/PlatformServices.h"
#include "platform/SystemTrayBackend.h"
#include "platform/netext/TunnelSystem.h"
#include "platform/sysext/SystemExtensionManager.h"
#include "tunnel/SystemExtensionActivator.h"
#include "ui/SymbolImageProvider.h"

#include <QGuiApplication>
#include <QPointer>
#include <QQuickView>
#include <QScreen>

namespace veloxa {

AppDelegate::Hooks AppDelegate::Hooks::production() {
    Hooks hooks;
    hooks.loadTunnels = [](std::function<void(LoadResult)> done) {
        TunnelSystem& system = TunnelSystem::shared();
        system.loadAllFromPreferences([&system, done = std::move(done)](auto list, auto error) {
            SingboxTunnelsManager::create(list, error, system, Bundle::main(), done);
        });
    };
    hooks.activateExtension = [](AppState& state) {
        state.activateSystemExtension(SystemExtensionActivator::shared(),
                                      SystemExtensionManager::shared(), Bundle::main());
    };
    hooks.makeTray = []() -> std::unique_ptr<TrayBackend> {
        if (!SystemTrayBackend::isAvailable())
            return nullptr;
        // White on transparent, marked as a mask so the desktop tints it for its panel.
        return std::make_unique<SystemTrayBackend>([](const QString& symbol) {
            QIcon icon;
            for (int side : {16, 22, 24, 32, 48, 64})
                icon.addPixmap(QPixmap::fromImage(
                    SymbolImageProvider::render(symbol, Qt::white, QSize(side, side))));
            icon.setIsMask(true);
            return icon;
        });
    };
    hooks.makeNotifier = &PlatformServices::notifier;
    hooks.publishControl = &PlatformServices::publishControl;
    hooks.alert = [](QMessageBox::Icon icon, const QString& text, const QString& informative) {
        makeAlert(icon, text, informative)->exec();
    };
    hooks.exitProcess = [] { QCoreApplication::exit(0); };
    hooks.whenServiceAnswers = &ServiceApproval::whenServiceAnswers;
    hooks.approvalStep = &ServiceApproval::currentStep;
    hooks.startService = &ServiceApproval::startService;
    return hooks;
}

std::unique_ptr<QMessageBox> AppDelegate::makeAlert(QMessageBox::Icon icon, const QString& text,
                                                    const QString& informative) {
    auto alert =
        std::make_unique<QMessageBox>(icon, QStringLiteral("Veloxa"), text, QMessageBox::NoButton);
    alert->setInformativeText(informative);
    // Not the standard button: Qt names that in the interface language ("Aceptar"), and
    // renames it when the language changes.
    alert->setDefaultButton(alert->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
    return alert;
}

AppDelegate::AppDelegate(const AppState::Dependencies& dependencies, Hooks hooks,
                         const Bundle& bundle)
    : m_hooks(std::move(hooks)), m_appState(std::make_unique<AppState>(dependencies)),
      m_form(std::make_unique<SignInForm>(m_appState->signInFlow())), m_bundle(bundle) {
    connect(m_appState.get(), &AppState::systemExtensionApprovalRequested, this,
            &AppDelegate::approveTunnelService);
}

AppDelegate::~AppDelegate() {
    // The views, the tray and the scripting channel read the model: they go first.
    m_controlPublication.reset();
    m_control.reset();
    m_window.reset();
    m_trayController.reset();
    m_trayBackend.reset();
    m_notifier.reset();
}

void AppDelegate::applicationWillFinishLaunching() {
    // The process outlives its window: the tray item brings it back.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void AppDelegate::applicationDidFinishLaunching() {
    QPointer<AppDelegate> self(this);
    // Menu and tray outlive nothing here, but their callbacks still hold the delegate weakly.
    auto weakly = [self](void (AppDelegate::*method)()) {
        return [self, method] {
            if (self)
                (self.data()->*method)();
        };
    };
    m_mainMenu = std::make_unique<SimpleMainMenu>(
        m_bundle,
        SimpleMainMenu::Targets{weakly(&AppDelegate::aboutClicked),
                                weakly(&AppDelegate::hideApplication), weakly(&AppDelegate::quit)});

    if (!m_startHidden)
        showMainWindow();

    m_trayBackend = m_hooks.makeTray();
    if (m_trayBackend)
        m_trayController = std::make_unique<TrayController>(*m_appState, *m_trayBackend,
                                                            weakly(&AppDelegate::showMainWindow),
                                                            weakly(&AppDelegate::quit));

    announceReconnects();
    m_hooks.activateExtension(*m_appState);
    loadTunnelConfigurations();
}

void AppDelegate::announceReconnects() {
    if (!m_trayBackend && m_hooks.makeNotifier)
        m_notifier = m_hooks.makeNotifier();
    Notifier* notifier = m_trayBackend ? m_trayBackend.get() : m_notifier.get();
    if (!notifier)
        return;
    using T = Localization::Text;
    const auto say = [notifier](T title, T detail) {
        return [notifier, title, detail] {
            const auto& loc = Localization::shared();
            notifier->notify(loc.text(title), loc.text(detail));
        };
    };
    VpnConnection* connection = &m_appState->connection();
    connect(connection, &VpnConnection::connectionLost, this,
            say(T::connectionLost, T::connectionLostDetail));
    connect(connection, &VpnConnection::connectionRestored, this,
            say(T::connectionRestored, T::connectionRestoredDetail));
}

void AppDelegate::loadTunnelConfigurations() {
    QPointer<AppDelegate> self(this);
    m_hooks.loadTunnels([self](LoadResult loaded) {
        if (!self)
            return;
        if (!loaded) {
            self->publishControl(); // scripts hear why they cannot connect
            // Said once; the configurations load as soon as the service answers.
            if (!std::exchange(self->m_loadFailedOnce, true))
                self->m_hooks.alert(QMessageBox::Warning,
                                    QStringLiteral("Unable to load VPN configuration"),
                                    loaded.error());
            if (self->m_hooks.whenServiceAnswers)
                self->m_hooks.whenServiceAnswers([self] {
                    if (self && !self->m_tunnelsManager)
                        self->loadTunnelConfigurations();
                });
            return;
        }
        self->m_tunnelsManager = *loaded;
        self->m_appState->setTunnelsManager(*loaded);
        self->m_appState->refreshTunnelStatus();
        self->m_appState->startStatusPolling();
        self->publishControl();
    });
}

void AppDelegate::publishControl() {
    // Once the first load has answered: a script's connect then finds the configurations.
    if (m_control || !m_hooks.publishControl)
        return;
    QPointer<AppDelegate> self(this);
    m_control = std::make_unique<ClientControl>(*m_appState, [self] {
        if (self)
            self->showMainWindow();
    });
    m_controlPublication = m_hooks.publishControl(*m_control);
}

void AppDelegate::approveTunnelService() {
    using Step = ServiceApproval::Step;
    const Step step = m_hooks.approvalStep ? m_hooks.approvalStep() : Step::none;
    if (step == Step::joinGroup) {
        m_hooks.alert(QMessageBox::Information, QStringLiteral("Join the veloxa group to connect"),
                      ServiceApproval::joinGroupAdvice());
    } else if (step == Step::install) {
        m_hooks.alert(QMessageBox::Warning,
                      QStringLiteral("The Veloxa tunnel service is not installed"),
                      QStringLiteral("Install the Veloxa package, or start a private tunnel "
                                     "service with: veloxa-tunnel --user"));
    } else if (step == Step::startService && m_hooks.startService) {
        QPointer<AppDelegate> self(this);
        m_hooks.startService([self](std::optional<QString> error) {
            if (self && error)
                self->m_hooks.alert(QMessageBox::Warning,
                                    QStringLiteral("The tunnel service was not started"), *error);
        });
    }
}

void AppDelegate::handOver(const QString& activationToken) {
    // On Wayland the compositor raises a window only with the token of the start that
    // asked for it; Qt takes it from the environment when the window asks to activate.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    applicationShouldHandleReopen();
}

bool AppDelegate::applicationShouldHandleReopen() {
    showMainWindow();
    return true;
}

bool AppDelegate::applicationShouldTerminate() {
    if (m_appState->tunnelStatus() == TunnelStatus::Active)
        m_hooks.alert(QMessageBox::Information, QStringLiteral("Veloxa is exiting"),
                      QStringLiteral("The VPN tunnel will remain active, since it's managed by "
                                     "the system extension rather than this app."));
    return true;
}

void AppDelegate::quit() {
    // A second request while the alert is up (another Ctrl+Q, the tray menu) joins the first.
    if (m_quitting)
        return;
    m_quitting = true;
    QPointer<AppDelegate> self(this);
    if (applicationShouldTerminate() && self)
        m_hooks.exitProcess();
}

void AppDelegate::terminateNow() {
    m_quitting = true;
    m_hooks.exitProcess();
}

void AppDelegate::aboutClicked() {
    m_appState->setSelectedRootTab(AppState::RootTab::About);
    showMainWindow();
}

void AppDelegate::showMainWindow() {
    if (!m_window) {
        createWindow();
        // Centred the first time only: later the window comes back where the user left it.
        const QRect area = m_window->screen()->availableGeometry();
        m_window->setPosition(area.center() -
                              QPoint(m_window->width() / 2, m_window->height() / 2));
    }
    m_window->setWindowStates(m_window->windowStates() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

void AppDelegate::createWindow() {
    m_window = std::make_unique<QQuickView>();
    QmlTypes::prepareEngine(*m_window->engine());
    m_window->setTitle(QStringLiteral("Veloxa"));
    // Titled, closable and minimisable; no maximise button, no resizing.
    m_window->setFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint);
    m_window->setColor(QColor(13, 12, 26));
    m_window->setMinimumSize(QSize(380, 520));
    m_window->setMaximumSize(QSize(380, 520));
    m_window->resize(380, 520);
    m_window->setResizeMode(QQuickView::SizeRootObjectToView);
    // A closed window gives its scene graph back; it is rebuilt when shown again.
    m_window->setPersistentGraphics(false);
    m_window->setPersistentSceneGraph(false);
    m_window->setInitialProperties({{"model", QVariant::fromValue(m_appState.get())},
                                    {"form", QVariant::fromValue(m_form.get())}});
    m_window->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veloxa/UI/RootView.qml")));
    m_mainMenu->bindKeys(m_window.get());
    m_window->installEventFilter(this);
    connect(m_window.get(), &QQuickWindow::frameSwapped, this, &AppDelegate::firstFrameSwapped,
            Qt::SingleShotConnection);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    // After the close has finished: quitting from inside it would cut it short.
    if (watched == m_window.get() && event->type() == QEvent::Close)
        QMetaObject::invokeMethod(this, &AppDelegate::windowClosed, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

void AppDelegate::windowClosed() {
    if (m_window->isVisible())
        return; // the close was refused
    m_window->releaseResources();
    // Without a tray nothing could bring the window back, so closing it quits.
    if (!m_trayController)
        quit();
}

void AppDelegate::hideApplication() {
    if (!m_window)
        return;
    if (m_trayController)
        m_window->hide();
    else
        m_window->showMinimized(); // keeps it reachable from the task bar
}

} // namespace veloxa
