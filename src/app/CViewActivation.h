#pragma once
// The main window's active view: the one whose caption bar shows the active colours and that
// receives the keyboard. Shared by the splitters, which draw and move the activation.
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace vm {

class CViewActivation : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QWidget* Active() const { return m_active.data(); }
    // Makes view active and gives it the keyboard; nullptr clears the activation.
    void Activate(QWidget* view);
    // Whether the active view is widget or lies inside it.
    bool IsActiveIn(const QWidget* widget) const;

signals:
    void ActiveChanged(QWidget* view);

private:
    QPointer<QWidget> m_active;
};

} // namespace vm
