#include "ReplayTourHost.h"

#include "RecordedTour.h"

namespace VelmoraCommand {
namespace {

class ReplayTourHost : public TourHost {
public:
    ReplayTourHost(std::string trace, RecordedTour recorded)
        : trace_(std::move(trace)), recorded_(std::move(recorded)) {}

    std::string where() const override {
        return "the host\nrecorded in " + trace_ + ", which answers every call, with the recorded tour's machine";
    }
    nlohmann::json description() const override { return {{"replay", trace_}}; }
    bool ownedByTheTour() const override { return true; }
    std::optional<std::string> machineName() const override { return recorded_.machineName; }
    std::optional<Picture> picture() const override { return std::nullopt; }

    std::string imagesStep(const std::filesystem::path&) const override {
        return "Take the two image files the recorded tour attached";
    }
    // The files were the recorded host's; only their paths reach the trace. A trace without them (of another
    // command) gives the tour's own names, and the replay then tells where the run leaves the trace.
    Images makeImages(const std::filesystem::path& folder, const std::vector<std::string>& names) const override {
        Images images{recorded_.images, ""};
        if (images.paths.empty())
            for (const auto& name : names) images.paths.push_back((folder / name).string());
        for (const auto& path : images.paths) images.outcome += (images.outcome.empty() ? "" : "\n") + path;
        return images;
    }

private:
    std::string trace_;
    RecordedTour recorded_;
};

}  // namespace

std::unique_ptr<TourHost> openReplayTourHost(const std::string& trace) {
    return std::make_unique<ReplayTourHost>(trace, readRecordedTour(trace));
}

}  // namespace VelmoraCommand
