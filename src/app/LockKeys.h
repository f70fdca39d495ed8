#pragma once
// The keyboard's lock states, for the status bar's CAP, NUM and SCRL indicators.

namespace vm {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Asks the window system; all off where it cannot tell (e.g. without an X display).
LockKeyState QueryLockKeys();

} // namespace vm
