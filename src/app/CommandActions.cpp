#include "app/CommandActions.h"

#include "app/CommandRegistry.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QToolBar>

namespace vm {

namespace {

// The toolbar picture: one 16 x 15 image per button, in toolbar order.
constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;

QString ObjectName(const QString& prefix, const QString& text) {
    QString name = text.section(QLatin1Char('\t'), 0, 0);
    name.remove(QLatin1Char('&')).remove(QLatin1String("..."));
    return prefix + name.simplified().replace(QLatin1Char(' '), QLatin1Char('_'));
}

// The text a toolbar button shows when the command has no tooltip of its own.
QString PlainText(const QString& menuText) {
    return ObjectName(QString(), menuText).replace(QLatin1Char('_'), QLatin1Char(' '));
}

void Apply(QAction& action, const CommandState& state) {
    action.setEnabled(state.enabled);
    const bool marked = state.mark != CheckMark::None;
    if (marked) {
        action.setCheckable(true);
    }
    // Menus draw a radio mark for actions in an exclusive group; each radio item has a group of
    // its own, since the document decides the marks.
    if (state.mark == CheckMark::Radio && !action.actionGroup()) {
        auto* group = new QActionGroup(&action);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        group->addAction(&action);
    } else if (state.mark == CheckMark::Check && action.actionGroup()) {
        action.actionGroup()->removeAction(&action);
    }
    if (action.isCheckable()) {
        action.setChecked(marked);
    }
}

} // namespace

CommandActions::CommandActions(const CommandRegistry& registry, Runner run, QObject* parent)
    : QObject(parent), m_registry(registry), m_run(std::move(run)) {
    for (uint32_t id : m_registry.Ids()) {
        MakeAction(id);
    }
}

QAction* CommandActions::Action(uint32_t id) const {
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

QAction* CommandActions::MakeAction(uint32_t id) {
    const Command& command = *m_registry.Find(id);
    auto* action = new QAction(command.text, this);
    action->setObjectName(QStringLiteral("command_%1").arg(id));
    action->setData(id);
    action->setIconVisibleInMenu(false);
    action->setStatusTip(command.prompt);
    action->setToolTip(command.tooltip.isEmpty() ? PlainText(command.text) : command.tooltip);
    QList<QKeySequence> keys;
    for (const QString& key : command.keys) {
        keys.append(QKeySequence(key, QKeySequence::PortableText));
    }
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, [this, id] { m_run(id); });
    m_actions[id] = action;
    return action;
}

void CommandActions::AddItems(QMenu& menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::Kind::Separator:
            menu.addSeparator();
            break;
        case MenuItem::Kind::Submenu: {
            QMenu* submenu = menu.addMenu(item.title);
            submenu->setObjectName(ObjectName(QStringLiteral("menu_"), item.title));
            AddItems(*submenu, item.children);
            break;
        }
        case MenuItem::Kind::Command:
            menu.addAction(Action(item.id));
            if (item.id == cmd::kRecentFile) {
                // Places for the other recent files, shown once the list holds them.
                for (uint32_t i = 1; i < cmd::kRecentFileCount; ++i) {
                    QAction* entry = Action(item.id + i);
                    entry->setVisible(false);
                    menu.addAction(entry);
                }
            }
            break;
        }
    }
}

void CommandActions::BuildMenus(QMenuBar& bar) {
    for (const MenuItem& top : MainMenu()) {
        QMenu* menu = bar.addMenu(top.title);
        menu->setObjectName(ObjectName(QStringLiteral("menu_"), top.title));
        AddItems(*menu, top.children);
    }
    for (QMenu* menu : bar.findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            UpdateAll();
            emit MenuAboutToShow(menu);
        });
    }
}

void CommandActions::BuildToolbar(QToolBar& toolbar) {
    const QPixmap strip(QStringLiteral(":/data/toolbar.png"));
    toolbar.setIconSize(QSize(kButtonWidth, kButtonHeight));
    int image = 0;
    for (uint32_t id : ToolbarCommands()) {
        if (id == 0) {
            toolbar.addSeparator();
            continue;
        }
        QAction* action = Action(id);
        if (!action) {
            continue;
        }
        if (!strip.isNull()) {
            action->setIcon(
                QIcon(strip.copy(image * kButtonWidth, 0, kButtonWidth, kButtonHeight)));
        }
        ++image;
        toolbar.addAction(action);
    }
}

void CommandActions::AttachKeyOnlyActions(QWidget& window) {
    for (const auto& [id, action] : m_actions) {
        if (action->associatedObjects().isEmpty()) {
            window.addAction(action);
        }
    }
}

void CommandActions::UpdateAll() {
    for (const auto& [id, action] : m_actions) {
        Apply(*action, m_registry.State(id));
    }
}

} // namespace vm
