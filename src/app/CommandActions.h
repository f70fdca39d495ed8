#pragma once
// The main window's actions, one per command id, built from the command table: the menu bar,
// the toolbar and the keyboard accelerators all trigger the same action, and every action shows
// the state (enabled, check or radio mark) its command reports.
#include "document/DocumentCommands.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace vm {

struct MenuItem;

class CommandActions : public QObject {
    Q_OBJECT
public:
    using Runner = std::function<void(uint32_t id)>;
    using StateSource = std::function<CommandState(uint32_t id)>;

    // run: carries out a command; state: its current menu state.
    CommandActions(Runner run, StateSource state, QObject* parent = nullptr);

    // Fills the menu bar from the command table; each menu refreshes the states as it opens.
    void BuildMenus(QMenuBar& bar);
    // The toolbar's buttons, with their icons, tooltips and status prompts.
    void BuildToolbar(QToolBar& toolbar);
    // Gives the actions their keys; keys of commands without a menu item get an action of
    // their own on window, which must be the main window.
    void BuildAccelerators(QWidget& window);

    QAction* Action(uint32_t id) const;
    const std::map<uint32_t, QAction*>& Actions() const { return m_actions; }
    // Shows every command's current state.
    void UpdateAll();

signals:
    // A menu is about to open (after its states were refreshed).
    void MenuAboutToShow(QMenu* menu);

private:
    void AddItems(QMenu& menu, const std::vector<MenuItem>& items);
    QAction* MakeAction(uint32_t id, const QString& text);
    void Apply(QAction& action, const CommandState& state);

    Runner m_run;
    StateSource m_state;
    std::map<uint32_t, QAction*> m_actions;
};

} // namespace vm
