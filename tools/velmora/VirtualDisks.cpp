#include "VirtualDisks.h"

#include <windows.h>

#include <virtdisk.h>

#include "Failure.h"
#include "SystemMessages.h"
#include "Text.h"
#include "TourImages.h"

namespace VelmoraCommand {
namespace {

// Small and dynamic: the file holds only its metadata until a guest writes to it.
constexpr ULONGLONG imageSize = 64ull << 20;
constexpr const char* imageSizeText = "64 MiB";

// VIRTUAL_STORAGE_TYPE_VENDOR_MICROSOFT, which the MinGW headers declare without a definition to link.
constexpr GUID microsoftVendor = {0xEC984AEC, 0xA0F9, 0x47E9, {0x90, 0x1F, 0x71, 0x41, 0x5A, 0x66, 0x34, 0x5B}};

void makeVirtualDisk(const std::filesystem::path& path) {
    VIRTUAL_STORAGE_TYPE type{VIRTUAL_STORAGE_TYPE_DEVICE_VHDX, microsoftVendor};
    CREATE_VIRTUAL_DISK_PARAMETERS parameters{};
    parameters.Version = CREATE_VIRTUAL_DISK_VERSION_2;
    parameters.Version2.MaximumSize = imageSize;
    HANDLE disk = nullptr;
    // libstdc++ gives paths as UTF-8 on Windows as well.
    const std::wstring wide = widen(path.string());
    const DWORD error = CreateVirtualDisk(&type, wide.c_str(), VIRTUAL_DISK_ACCESS_NONE, nullptr,
                                          CREATE_VIRTUAL_DISK_FLAG_NONE, 0, &parameters, nullptr, &disk);
    if (error != ERROR_SUCCESS)
        throw Failure("cannot make the image " + path.string() + ": " + systemMessage(error));
    CloseHandle(disk);
}

}  // namespace

std::string virtualDisksStep(const std::filesystem::path& folder) {
    return std::string("Make two dynamic VHDX images of ") + imageSizeText + " in " + folder.string();
}

TourHost::Images makeVirtualDisks(const std::filesystem::path& folder, const std::vector<std::string>& names) {
    TourHost::Images images;
    for (const auto& name : names) {
        makeVirtualDisk(folder / name);
        images.paths.push_back((folder / name).string());
    }
    images.outcome = madeImages(names);
    return images;
}

}  // namespace VelmoraCommand
