#include "app/LockKeys.h"

#include <QGuiApplication>
#include <X11/XKBlib.h>

namespace vm {

namespace {

// The indicators are looked up by name: their bit positions differ between keyboard maps.
bool IndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    Bool on = False;
    return atom != None &&
           XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) == True && on;
}

} // namespace

LockKeyState QueryLockKeys() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) {
        return {};
    }
    return {IndicatorOn(display, "Caps Lock"), IndicatorOn(display, "Num Lock"),
            IndicatorOn(display, "Scroll Lock")};
}

} // namespace vm
