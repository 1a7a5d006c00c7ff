#pragma once

#include "app/AppState.h"

namespace veloxa {

class AppDelegate;

// Compiled only into the end-to-end test's client (VELOXA_TEST_BUILD), never shipped.
class TestBuild {
public:
    // The service and IP-echo addresses from VELOXA_TEST_SERVICE_BASE_URL and
    // VELOXA_TEST_IP_ECHO_URL, and a short account refresh (VELOXA_TEST_ACCOUNT_REFRESH_MS,
    // default 3 s) so the test sees a server-side change without waiting a minute.
    static void adjust(AppState::Dependencies& dependencies);
    // Writes what the test needs to see to $VELOXA_TEST_PROBE (JSON) five times a second:
    // the model's properties, and where each visible named item of the window is, so the
    // test clicks real positions.
    static void startProbe(AppDelegate& delegate);
};

} // namespace veloxa
