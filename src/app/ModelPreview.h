#pragma once

#include <QStringList>

namespace veloxa {

class AppState;

// Puts a model into a named state for screenshots and view tests: no service, no tunnel,
// only the fields the views read.
class ModelPreview {
public:
    static QStringList names();
    // False for an unknown name.
    static bool apply(AppState& state, const QString& name);
};

} // namespace veloxa
