#include "Command.h"

namespace VelmoraCommand {

void setExample(CLI::App& app, const std::string& example) {
    app.footer("Example:\n  " + example);
}

}  // namespace VelmoraCommand
