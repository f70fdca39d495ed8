#include "app/CViewActivation.h"

#include <QApplication>

namespace vm {

void CViewActivation::Activate(QWidget* view) {
    // A child of the view that has the keyboard keeps it.
    const QWidget* focus = QApplication::focusWidget();
    const bool hasFocus = focus && view && (focus == view || view->isAncestorOf(focus));
    if (view && view->isVisible() && !hasFocus) {
        view->setFocus(Qt::OtherFocusReason);
    }
    if (m_active == view) {
        return;
    }
    m_active = view;
    emit ActiveChanged(view);
}

bool CViewActivation::IsActiveIn(const QWidget* widget) const {
    const QWidget* active = m_active.data();
    return widget && active && (widget == active || widget->isAncestorOf(active));
}

} // namespace vm
