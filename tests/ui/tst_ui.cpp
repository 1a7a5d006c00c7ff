#include "app/AppState.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SignInForm.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QtQuickTest>

using namespace veloxa;

// Makes models in preview states for the view tests; each test gets fresh objects.
class Fixture : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QObject* model(const QString& previewState) {
        auto* state = new AppState({std::make_shared<MemorySecureItemStore>(),
                                    QUrl(QStringLiteral("http://127.0.0.1:9")), QUrl(),
                                    QStringLiteral("Studio — macOS 14.5")},
                                   this);
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
