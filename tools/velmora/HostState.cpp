#include "HostState.h"

#include <HyperVSim/Control.h>

#include <system_error>

#include "BadInput.h"

namespace VelmoraCommand {
namespace {

void makeParentDirectory(const std::filesystem::path& file) {
    const auto parent = file.parent_path();
    if (parent.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error) throw BadInput("cannot create the directory " + parent.string() + ": " + error.message());
}

void open(const std::filesystem::path& file) {
    try {
        HyperVSim::Control::openStateFile(file.string());
    } catch (const HyperVSim::StateFileError& e) {
        throw BadInput(e.what());
    }
}

}  // namespace

void openHostState(const std::filesystem::path& file) {
    makeParentDirectory(file);
    // The seed is put in place explicitly so that a new state file always starts from the same host, with the
    // same paths and GUIDs, whatever the process did before.
    if (!std::filesystem::exists(file)) HyperVSim::Control::reset();
    open(file);
}

void resetHostState(const std::filesystem::path& file) {
    makeParentDirectory(file);
    if (std::filesystem::exists(file)) {
        open(file);  // refuses a file that is not a state file before it is removed
        HyperVSim::Control::closeStateFile();
        std::error_code error;
        std::filesystem::remove(file, error);
        if (error) throw BadInput("cannot remove " + file.string() + ": " + error.message());
    }
    HyperVSim::Control::reset();
    open(file);
}

}  // namespace VelmoraCommand
