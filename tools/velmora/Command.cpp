#include "Command.h"

#include "Host.h"

namespace VelmoraCommand {

std::string globalOptionsNote() {
    return std::string("Also: --json, --quiet, --verbose") + stateOptionNote() + " (see velmora --help).";
}

void describe(CLI::App& app, const std::string& details, const std::string& example) {
    // CLI11 lists only the subcommand's own options; the global ones are valid here too.
    app.footer((details.empty() ? std::string() : details + "\n\n") + globalOptionsNote() + "\n\nExample:\n  " +
               example);
}

}  // namespace VelmoraCommand
