#include "app/CommandRegistry.h"

namespace vm {

CommandRegistry::CommandRegistry() {
    for (const CommandText& text : CommandTexts()) {
        Command command;
        command.id = text.id;
        command.text = text.text;
        command.keys = text.keys;
        command.prompt = text.prompt.section(QLatin1Char('\n'), 0, 0);
        command.tooltip = text.prompt.section(QLatin1Char('\n'), 1, 1);
        if (m_commands.emplace(text.id, std::move(command)).second) {
            m_order.push_back(text.id);
        }
    }
}

bool CommandRegistry::Bind(uint32_t id, std::function<void()> run,
                           std::function<CommandState()> state) {
    const auto found = m_commands.find(id);
    if (found == m_commands.end()) {
        return false;
    }
    found->second.run = std::move(run);
    found->second.state = std::move(state);
    return true;
}

const Command* CommandRegistry::Find(uint32_t id) const {
    const auto found = m_commands.find(id);
    return found == m_commands.end() ? nullptr : &found->second;
}

bool CommandRegistry::Run(uint32_t id) const {
    const Command* command = Find(id);
    if (!command) {
        return false;
    }
    if (command->run) {
        command->run();
    }
    return true;
}

CommandState CommandRegistry::State(uint32_t id) const {
    const Command* command = Find(id);
    return command && command->state ? command->state() : CommandState{};
}

} // namespace vm
