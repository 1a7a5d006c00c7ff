#pragma once

#include <QLoggingCategory>

// The tunnel-control category: error-level lines with public arguments only (error
// descriptions, counters). Never a configuration or a token.
Q_DECLARE_LOGGING_CATEGORY(lcSingboxTunnel)
