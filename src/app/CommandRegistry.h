#pragma once
// One record per command of the main window: what the user sees of it (text, keys, prompt and
// tooltip, from the command table) and what it does (run) and shows (state), which the window
// binds. Found by id in constant time.
#include "app/CommandTable.h"
#include "document/DocumentCommands.h"

#include <functional>
#include <unordered_map>
#include <vector>

namespace vm {

struct Command {
    uint32_t id = 0;
    QString text;     // menu text, the shortcut shown after a tab; empty for key-only commands
    QStringList keys; // portable key texts, the shown one first
    QString prompt;   // the status-bar prompt
    QString tooltip;
    std::function<void()> run;
    // The enabled state and mark; an unbound state is enabled without a mark.
    std::function<CommandState()> state;
};

class CommandRegistry {
public:
    // Every command of the table, not yet bound.
    CommandRegistry();

    // Gives a command of the table its behaviour; false for an id the table does not hold.
    bool Bind(uint32_t id, std::function<void()> run, std::function<CommandState()> state = {});

    const Command* Find(uint32_t id) const;
    // Carries out the command; false for an unknown id. An unbound command does nothing.
    bool Run(uint32_t id) const;
    CommandState State(uint32_t id) const;
    // The ids in table order.
    const std::vector<uint32_t>& Ids() const { return m_order; }

private:
    std::unordered_map<uint32_t, Command> m_commands;
    std::vector<uint32_t> m_order;
};

} // namespace vm
