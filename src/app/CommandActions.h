#pragma once
// The main window's actions, one per command of the registry: the menu bar, the toolbar and the
// keys all trigger the same action, and every action shows the state (enabled, check or radio
// mark) its command reports whenever the window asks, and before each menu opens.
#include "document/DocumentCommands.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <unordered_map>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace vm {

class CommandRegistry;
struct MenuItem;

class CommandActions : public QObject {
    Q_OBJECT
public:
    using Runner = std::function<void(uint32_t id)>;

    // Makes every command's action, with its keys; run carries a command out.
    CommandActions(const CommandRegistry& registry, Runner run, QObject* parent = nullptr);

    // Fills the menu bar from the command table; each menu refreshes the states as it opens.
    void BuildMenus(QMenuBar& bar);
    // The toolbar's buttons, with their icons, tooltips and status prompts.
    void BuildToolbar(QToolBar& toolbar);
    // Actions in no menu and on no toolbar reach their keys through window, the main window.
    void AttachKeyOnlyActions(QWidget& window);

    QAction* Action(uint32_t id) const;
    // Shows every command's current state.
    void UpdateAll();

signals:
    // A menu is about to open (after its states were refreshed).
    void MenuAboutToShow(QMenu* menu);

private:
    void AddItems(QMenu& menu, const std::vector<MenuItem>& items);
    QAction* MakeAction(uint32_t id);

    const CommandRegistry& m_registry;
    Runner m_run;
    std::unordered_map<uint32_t, QAction*> m_actions;
};

} // namespace vm
