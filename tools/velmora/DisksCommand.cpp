// velmora disks
#include <cstdint>
#include <filesystem>
#include <memory>

#include "Command.h"
#include "ExitStatus.h"
#include "LogSink.h"
#include "Output.h"
#include "Text.h"
#include "Validators.h"

namespace VelmoraCommand {
namespace {

struct DisksOptions {
    std::string machine;
    unsigned generation = 2;
    std::vector<std::string> images;
};

int attach(const GlobalOptions& global, const DisksOptions& options) {
    // Hyper-V opens the images itself, from its own working directory: it needs absolute paths.
    std::vector<std::string> images;
    for (const auto& image : options.images)
        images.push_back(std::filesystem::absolute(image).lexically_normal().string());
    std::vector<std::wstring> wideImages;
    for (const auto& image : images) wideImages.push_back(widen(image));
    std::vector<const wchar_t*> imagePointers;
    for (const auto& image : wideImages) imagePointers.push_back(image.c_str());
    const std::wstring machine = widen(options.machine);

    const bool ok = Velmora::setDiskImages(logSink, machine.c_str(), options.generation, imagePointers.data(),
                                           static_cast<std::uint32_t>(imagePointers.size()));
    const nlohmann::json details = {{"path", options.machine}, {"images", images}};
    if (!ok) return reportFailure(global.json, "setDiskImages", details);
    if (global.json) {
        auto document = details;
        document["ok"] = true;
        printJson(document);
    } else {
        std::string text = "Disk images set on " + options.machine + ":\n";
        for (const auto& image : images) text += "  " + image + "\n";
        printText(text);
    }
    return exitSuccess;
}

}  // namespace

Command addDisksCommand(CLI::App& parent) {
    auto options = std::make_shared<DisksOptions>();
    auto* app = parent.add_subcommand("disks", "Attach disk image files to a machine");
    app->add_option("machine", options->machine, "The machine's path, as `velmora create` printed it")
        ->required()
        ->type_name("PATH");
    app->add_option("images", options->images, "Image files, attached in this order")
        ->type_name("IMAGE")
        ->required()
        ->check(imageFileValidator());
    app->add_option("--generation", options->generation, "The machine's generation, as it was created")
        ->type_name("1|2")
        ->check(generationValidator())
        ->capture_default_str();
    describe(*app,
             "Calls setDiskImages: each image becomes a disk drive with a virtual hard disk. Generation 1\n"
             "fills its two IDE controllers first, then the SCSI controller; generation 2 uses SCSI only.\n"
             "Images are handed over with absolute paths.",
             "velmora disks \"$vm\" disk0.vhdx disk1.vhdx");
    return {app, HostUse::StateFile, [options](const GlobalOptions& global) { return attach(global, *options); }};
}

}  // namespace VelmoraCommand
