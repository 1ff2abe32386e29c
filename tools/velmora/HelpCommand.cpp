// velmora help [COMMAND...]: the help of a command, as `velmora COMMAND --help` gives it.
#include <memory>

#include "BadInput.h"
#include "Command.h"
#include "CommandLine.h"
#include "ExitStatus.h"
#include "Output.h"

namespace VelmoraCommand {

Command addHelpCommand(CLI::App& parent) {
    auto words = std::make_shared<std::vector<std::string>>();
    auto* app = parent.add_subcommand("help", "Show the help of a command");
    app->add_option("command", *words, "The command, e.g. create or host reset")->type_name("COMMAND");
    describe(*app, "", "velmora help create");
    CLI::App* top = &parent;
    return {app, HostUse::None, [words, top](const GlobalOptions& global) {
                CLI::App* current = top;
                std::string path;
                for (const auto& word : *words) {
                    CLI::App* next = nullptr;
                    for (auto* sub : current->get_subcommands([](CLI::App*) { return true; }))
                        if (sub->check_name(word)) next = sub;
                    path += (path.empty() ? "" : " ") + word;
                    if (next == nullptr)
                        throw BadInput("there is no command '" + path + "'; the commands" +
                                       (current == top ? std::string() : " of " + current->get_name()) +
                                       " are: " + commandList(*current));
                    current = next;
                }
                // The formatter itself: App::help() would describe the command selected now, which is `help`.
                const std::string text = current->get_formatter()->make_help(
                    current, top->get_name() + (path.empty() ? "" : " " + path), CLI::AppFormatMode::Normal);
                if (global.json)
                    printJson({{"ok", true}, {"help", text}});
                else
                    printText(text);
                return static_cast<int>(exitSuccess);
            }};
}

}  // namespace VelmoraCommand
