// velmora disks
#include <cstdint>
#include <memory>

#include "Command.h"
#include "DiskImages.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "HostSession.h"
#include "LibraryCall.h"
#include "LogSink.h"
#include "Machines.h"
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
    const std::vector<std::string> images = imagePaths(options.images);
    std::vector<std::wstring> wideImages;
    for (const auto& image : images) wideImages.push_back(widenArgument(image, "the image"));
    std::vector<const wchar_t*> imagePointers;
    for (const auto& image : wideImages) imagePointers.push_back(image.c_str());

    HostSession host;
    const Machine machine = resolveMachine(host, options.machine, "disks");
    nlohmann::json result = {{"machine", machine.display}, {"path", machine.path}, {"images", images}};
    const LibraryCall call("setDiskImages", machine.subject());
    if (!Velmora::setDiskImages(logSink, widen(machine.path).c_str(), options.generation, imagePointers.data(),
                                static_cast<std::uint32_t>(imagePointers.size())))
        call.failed(result);

    // The library goes on past an image whose drive it cannot add and still returns true.
    const auto skipped = skippedImages(call.lines());
    if (!skipped.empty()) {
        nlohmann::json notAttached = nlohmann::json::array();
        std::string names;
        for (const auto position : skipped) {
            notAttached.push_back(images[position]);
            names += (names.empty() ? "" : ", ") + images[position];
        }
        result["notAttached"] = notAttached;
        throw Failure("not attached to " + machine.display + ": " + names +
                          " (the library could not add a drive for it and went on: \"Disk has already added. "
                          "Continue\"; is the slot taken?)",
                      result);
    }
    if (global.json) {
        result["ok"] = true;
        printJson(result);
    } else {
        std::string text = "Disk images attached to " + machine.display + ":\n";
        for (const auto& image : images) text += "  " + image + "\n";
        printText(text);
    }
    return exitSuccess;
}

}  // namespace

Command addDisksCommand(CLI::App& parent) {
    auto options = std::make_shared<DisksOptions>();
    auto* app = parent.add_subcommand("disks", "Attach disk image files to a machine");
    app->add_option("machine", options->machine, "The machine: its name, or its path as `velmora list` shows it")
        ->required()
        ->type_name("MACHINE");
    app->add_option("images", options->images, "Image files, attached in this order, each once")
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
             "Images are handed over with absolute paths. An image the library skips (its drive could not be\n"
             "added) is named, and the command exits with status 1.",
             "velmora disks web-01 disk0.vhdx disk1.vhdx");
    return {app, HostUse::Changes, [options](const GlobalOptions& global) { return attach(global, *options); }};
}

}  // namespace VelmoraCommand
