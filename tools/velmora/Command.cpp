#include "Command.h"

namespace VelmoraCommand {

void describe(CLI::App& app, const std::string& details, const std::string& example) {
    // CLI11 lists only the subcommand's own options; the global ones are valid here too.
    app.footer((details.empty() ? std::string() : details + "\n\n") +
               "Also: --json, --quiet, --verbose, --state FILE (see velmora --help).\n\nExample:\n  " + example);
}

}  // namespace VelmoraCommand
