#include "app/LockKeys.h"

#include <QGuiApplication>
#include <X11/XKBlib.h>

namespace vm {

namespace {

// The indicators are looked up by name: their bit positions differ between keyboard maps.
bool IndicatorOn(Display* display, Atom atom) {
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
    // The program has one display for its whole life.
    static const Atom caps = XInternAtom(display, "Caps Lock", True);
    static const Atom num = XInternAtom(display, "Num Lock", True);
    static const Atom scroll = XInternAtom(display, "Scroll Lock", True);
    return {IndicatorOn(display, caps), IndicatorOn(display, num), IndicatorOn(display, scroll)};
}

} // namespace vm
