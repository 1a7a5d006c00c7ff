#pragma once

namespace veloxa {

// Loads every view of the window with a preview model and fails on any QML error or
// warning: `veloxa --self-test`. Needs a GUI application (offscreen is fine).
class SelfTest {
public:
    static int run();
};

} // namespace veloxa
