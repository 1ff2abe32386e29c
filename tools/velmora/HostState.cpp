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

std::string recovery(const std::filesystem::path& file) {
    return "\n`velmora host reset --force --state '" + file.string() +
           "'` replaces it with a fresh host and keeps the file beside it as " + file.filename().string() +
           ".damaged";
}

void open(const std::filesystem::path& file, HyperVSim::StateFileAccess access) {
    try {
        HyperVSim::Control::openStateFile(file.string(), access);
    } catch (const HyperVSim::StateFileError& e) {
        if (e.kind() == HyperVSim::StateFileError::Kind::Unreadable) throw BadInput(e.what() + recovery(file));
        throw BadInput(e.what());
    }
}

// "<file>.damaged", or with a number when that is taken.
std::filesystem::path placeBeside(const std::filesystem::path& file) {
    for (int number = 1;; ++number) {
        auto candidate = file;
        candidate += number == 1 ? ".damaged" : ".damaged-" + std::to_string(number);
        if (!std::filesystem::exists(candidate)) return candidate;
    }
}

}  // namespace

void openHostState(const std::filesystem::path& file, StateUse use) {
    if (use == StateUse::Change) makeParentDirectory(file);
    // The seed is put in place explicitly so that a new state file always starts from the same host, with the
    // same paths and GUIDs, whatever the process did before.
    if (!std::filesystem::exists(file)) HyperVSim::Control::reset();
    open(file,
         use == StateUse::Change ? HyperVSim::StateFileAccess::ReadWrite : HyperVSim::StateFileAccess::ReadOnly);
}

std::optional<std::filesystem::path> resetHostState(const std::filesystem::path& file, bool force) {
    makeParentDirectory(file);
    std::optional<std::filesystem::path> kept;
    if (std::filesystem::exists(file)) {
        try {
            HyperVSim::Control::openStateFile(file.string());  // refuses a file that is not a state file
            HyperVSim::Control::closeStateFile();
        } catch (const HyperVSim::StateFileError& e) {
            if (e.kind() != HyperVSim::StateFileError::Kind::Unreadable) throw BadInput(e.what());
            if (!force)
                throw BadInput(e.what() + std::string("; --force replaces it, keeping it beside as ") +
                               file.filename().string() + ".damaged");
            kept = placeBeside(file);
            std::error_code error;
            std::filesystem::rename(file, *kept, error);
            if (error)
                throw BadInput("cannot keep " + file.string() + " as " + kept->string() + ": " + error.message());
        }
        std::error_code error;
        std::filesystem::remove(file, error);
        if (error) throw BadInput("cannot remove " + file.string() + ": " + error.message());
    }
    HyperVSim::Control::reset();
    open(file, HyperVSim::StateFileAccess::ReadWrite);
    return kept;
}

}  // namespace VelmoraCommand
