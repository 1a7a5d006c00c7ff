#pragma once

#include <QString>

namespace veloxa {

// The desktop's notifications: a short message that appears and goes by itself.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString& title, const QString& body) = 0;
};

} // namespace veloxa
