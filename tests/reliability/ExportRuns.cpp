#include "ExportRuns.h"

#include <HyperVSim/Control.h>

#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "LibraryTest.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

class ImageFolder {
public:
    ImageFolder()
        : path_(std::filesystem::temp_directory_path() / ("velmora-reliability-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ImageFolder(const ImageFolder&) = delete;
    ImageFolder& operator=(const ImageFolder&) = delete;
    ~ImageFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct CreateInput {
    std::wstring name = L"swept";
    std::wstring folder = L"C:\\VMs";
    std::vector<std::wstring> switches;
    std::vector<const wchar_t*> switchPointers;
    Velmora::VMSettings settings{};
    Velmora::CreatedVM created{};
};

std::function<bool()> createCall() {
    auto input = std::make_shared<CreateInput>();
    for (const auto& view : Control::switches()) input->switches.push_back(view.path);
    for (const auto& path : input->switches) input->switchPointers.push_back(path.c_str());
    input->settings = Velmora::VMSettings{input->name.c_str(),
                                          2,
                                          std::uint64_t{2048} << 20,
                                          input->folder.c_str(),
                                          Velmora::CPUSettings{2, 10, 90, 200},
                                          input->switchPointers.data(),
                                          static_cast<std::uint32_t>(input->switchPointers.size())};
    return [input] { return Velmora::createVM(captureLog, input->settings, input->created); };
}

std::function<bool()> pathCall(bool (*exportCall)(Velmora::LogCallback, const wchar_t*)) {
    auto path = std::make_shared<std::wstring>(Control::defineMachine(L"swept", 2));
    return [path, exportCall] { return exportCall(captureLog, path->c_str()); };
}

struct DiskInput {
    std::wstring path;
    std::uint32_t generation = 2;
    std::vector<std::wstring> images;
    std::vector<const wchar_t*> pointers;
};

std::function<bool()> disksCall(std::uint32_t generation, unsigned count) {
    auto input = std::make_shared<DiskInput>();
    input->generation = generation;
    input->path = Control::defineMachine(L"swept", static_cast<int>(generation));
    for (unsigned i = 0; i < count; ++i)
        input->images.push_back(makeImage(L"disk" + std::to_wstring(i) + L".vhdx"));
    for (const auto& image : input->images) input->pointers.push_back(image.c_str());
    return [input] {
        return Velmora::setDiskImages(captureLog, input->path.c_str(), input->generation, input->pointers.data(),
                                      static_cast<std::uint32_t>(input->pointers.size()));
    };
}

}  // namespace

std::wstring makeImage(const std::wstring& name) {
    static const ImageFolder folder;
    const std::filesystem::path file = folder.path() / name;
    if (!std::filesystem::exists(file)) std::ofstream(file, std::ios::binary) << "image";
    return file.wstring();
}

const std::vector<ExportRun>& exportRuns() {
    static const std::vector<ExportRun> runs = {
        {"createVM", createCall},
        {"deleteVM", [] { return pathCall(&Velmora::deleteVM); }},
        {"startVM", [] { return pathCall(&Velmora::startVM); }},
        {"stopVM", [] { return pathCall(&Velmora::stopVM); }},
        {"setDiskImages generation 1", [] { return disksCall(1, 5); }},
        {"setDiskImages generation 2", [] { return disksCall(2, 2); }},
        {"retrieveAvailableNetworkAdapters",
         [] {
             auto list = std::make_shared<Velmora::NetworksList>();
             return std::function<bool()>(
                 [list] { return Velmora::retrieveAvailableNetworkAdapters(captureLog, *list); });
         }},
        {"retrieveUsedMemory",
         [] {
             return std::function<bool()>([] {
                 std::uint64_t used = 0;
                 return Velmora::retrieveUsedMemory(captureLog, used);
             });
         }},
    };
    return runs;
}

}  // namespace VelmoraTest
