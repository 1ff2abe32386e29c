#include "CommandLine.h"

#if defined(_WIN32)
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#endif

namespace VelmoraCommand {
namespace {

// An option of `app` or, as global options fall through, of an app above it.
const CLI::Option* findOption(CLI::App* app, const std::string& name) {
    for (; app != nullptr; app = app->get_parent())
        if (const auto* option = app->get_option_no_throw(name)) return option;
    return nullptr;
}

std::string pathOf(CLI::App* app) {
    std::string path;
    for (; app != nullptr && app->get_parent() != nullptr; app = app->get_parent())
        path = app->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
#if defined(_WIN32)
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<std::size_t>(size) : 1u, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        text.resize(text.size() - 1);
        arguments.push_back(std::move(text));
    }
    LocalFree(wide);
    if (arguments.empty()) arguments.emplace_back(argc > 0 ? argv[0] : "velmora");
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

bool asksForJson(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size() && arguments[i] != "--"; ++i)
        if (arguments[i] == "--json") return true;
    return false;
}

std::string commandList(CLI::App& app) {
    std::string names;
    for (const auto* sub : app.get_subcommands([](CLI::App*) { return true; }))
        names += (names.empty() ? "" : ", ") + sub->get_name();
    return names;
}

std::optional<std::string> unknownCommand(const std::vector<std::string>& arguments, CLI::App& app) {
    CLI::App* current = &app;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") break;
        if (argument.size() > 1 && argument.front() == '-') {
            const auto* option = findOption(current, argument.substr(0, argument.find('=')));
            // Whether what follows an unknown option is its value or a command cannot be told: CLI11 names the
            // option.
            if (option == nullptr) break;
            // The option's value is no command: skip it, unless it came attached with '='.
            if (option->get_expected_min() > 0 && argument.find('=') == std::string::npos) ++i;
            continue;
        }
        const auto subcommands = current->get_subcommands([](CLI::App*) { return true; });
        if (subcommands.empty()) break;
        CLI::App* match = nullptr;
        for (auto* sub : subcommands)
            if (sub->check_name(argument)) match = sub;
        if (match != nullptr) {
            current = match;
            continue;
        }
        if (current->get_require_subcommand_min() == 0) break;
        const std::string where = pathOf(current);
        return "unknown command '" + (where.empty() ? argument : where + " " + argument) + "'; the " +
               (where.empty() ? "" : where + " ") + "commands are: " + commandList(*current);
    }
    return std::nullopt;
}

}  // namespace VelmoraCommand
