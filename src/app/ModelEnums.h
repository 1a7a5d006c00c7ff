#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace veloxa {

// The model's enumerations. The model derives from this class, so QML reads the cases as
// the model's own (`AppState.Vpn`); the model's parts use them without the whole model.
// Cases are capitalised because QML reads no other enumeration keys.
class ModelEnums : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
public:
    using QObject::QObject;

    enum class RootTab { Vpn, User, About };
    Q_ENUM(RootTab)
    enum class LoginStage { Email, Code };
    Q_ENUM(LoginStage)
    enum class Region { De, Ru };
    Q_ENUM(Region)
    // Which screen the account tab shows.
    enum class AccountScreen { Chooser, Account, SignIn };
    Q_ENUM(AccountScreen)
};

} // namespace veloxa
