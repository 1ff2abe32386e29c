#include "Command.h"

namespace VelmoraCommand {

void describe(CLI::App& app, const std::string& details, const std::string& example) {
    app.footer((details.empty() ? std::string() : details + "\n\n") + "Example:\n  " + example);
}

}  // namespace VelmoraCommand
