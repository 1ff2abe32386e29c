// velmora create
#include <cstdint>
#include <limits>
#include <memory>

#include "Command.h"
#include "ExitStatus.h"
#include "HostQueries.h"
#include "LibraryCall.h"
#include "LogSink.h"
#include "Output.h"
#include "Sizes.h"
#include "Text.h"
#include "Validators.h"

namespace VelmoraCommand {
namespace {

struct CreateOptions {
    std::string name;
    unsigned generation = 2;
    std::string memory = "1GiB";
    int cpus = 1;
    int cpuReservation = 0;
    int cpuLimit = 100;
    int cpuWeight = 100;
    std::string configRoot;
    std::vector<std::string> switches;
};

// Names are resolved only when one is given: a list of paths needs no call to the host.
std::vector<std::string> switchPaths(const std::vector<std::string>& arguments) {
    bool anyName = false;
    for (const auto& argument : arguments) anyName = anyName || !isSwitchPath(argument);
    if (!anyName) return arguments;
    return resolveSwitches(arguments, retrieveSwitches());
}

int create(const GlobalOptions& global, const CreateOptions& options) {
    const std::wstring name = widenArgument(options.name, "--name");
    const std::wstring configRoot = widenArgument(options.configRoot, "--config-root");
    std::vector<std::wstring> widePaths;
    for (const auto& path : switchPaths(options.switches)) widePaths.push_back(widenArgument(path, "--switch"));
    std::vector<const wchar_t*> networks;
    for (const auto& path : widePaths) networks.push_back(path.c_str());

    const Velmora::VMSettings settings{name.c_str(),
                                       options.generation,
                                       *parseSize(options.memory).bytes,
                                       configRoot.c_str(),
                                       {options.cpus, options.cpuReservation, options.cpuLimit, options.cpuWeight},
                                       networks.data(),
                                       static_cast<std::uint32_t>(networks.size())};
    auto created = std::make_unique<Velmora::CreatedVM>();
    created->vmPath[0] = L'\0';
    const LibraryCall call("createVM", "'" + oneLine(options.name) + "'");
    if (!Velmora::createVM(logSink, settings, *created)) call.failed({{"name", options.name}});

    const std::string path = narrow(created->vmPath);
    if (global.json)
        printJson({{"ok", true}, {"name", options.name}, {"path", path}});
    else
        printText(path + "\n");
    return exitSuccess;
}

}  // namespace

Command addCreateCommand(CLI::App& parent) {
    auto options = std::make_shared<CreateOptions>();
    auto* app = parent.add_subcommand("create", "Create a machine and print its path");
    app->add_option("--name", options->name, "Display name: at most 100 characters, no control characters")
        ->required()
        ->type_name("NAME")
        ->check(machineNameValidator());
    app->add_option("--generation", options->generation, "Hyper-V generation: 1 (BIOS, IDE) or 2 (UEFI, SCSI)")
        ->type_name("1|2")
        ->check(generationValidator())
        ->capture_default_str();
    app->add_option("--memory", options->memory,
                    "Static memory: a multiple of 2 MiB, at least 32 MiB; bytes, or a whole number with\n"
                    "the unit KiB, MiB, GiB or KB, MB, GB, K, M, G (binary as in PowerShell: 2GB is 2 GiB)")
        ->type_name("SIZE")
        ->check(memoryValidator())
        ->capture_default_str();
    constexpr long long int32Max = std::numeric_limits<std::int32_t>::max();
    app->add_option("--cpus", options->cpus, "Number of virtual processors")
        ->check(wholeNumberValidator(1, int32Max, "processors"))
        ->capture_default_str();
    app->add_option("--cpu-reservation", options->cpuReservation, "Processor capacity reserved, in percent")
        ->check(wholeNumberValidator(0, 100, "percent"))
        ->capture_default_str();
    app->add_option("--cpu-limit", options->cpuLimit, "Processor capacity the machine may use at most, in percent")
        ->check(wholeNumberValidator(0, 100, "percent"))
        ->capture_default_str();
    app->add_option("--cpu-weight", options->cpuWeight, "Relative processor weight against other machines")
        ->check(wholeNumberValidator(1, 10000, "weight"))
        ->capture_default_str();
    app->add_option("--config-root", options->configRoot,
                    "Folder for the machine's configuration on the host (empty: Hyper-V's default)")
        ->type_name("FOLDER");
    app->add_option("--switch", options->switches,
                    "Connect a network adapter to this switch, given by its path or its name (see `velmora "
                    "switches`); repeat for more adapters")
        ->type_name("SWITCH")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    describe(*app,
             "Calls createVM: defines the machine, sizes its memory and processors and connects one network\n"
             "adapter to each switch. Prints the machine's path; later commands take the machine by that path\n"
             "or by its name. The result is true once the machine is defined: a failure to size it or to\n"
             "connect an adapter is only logged. The name and the memory are checked against Hyper-V's rules\n"
             "before the call.",
             "velmora create --name web-01 --generation 2 --memory 2GB --cpus 2 --switch 'Default Switch'");
    return {app, HostUse::Changes, [options](const GlobalOptions& global) { return create(global, *options); }};
}

}  // namespace VelmoraCommand
