#include "HostView.h"

#include "LibraryCall.h"
#include "LogSink.h"
#include "Machines.h"
#include "Sizes.h"
#include "Switches.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

// Hyper-V keeps processor reservation and limit in thousandths of a percent; the command speaks percent.
nlohmann::json percent(std::uint64_t thousandths) {
    if (thousandths % 1000 == 0) return thousandths / 1000;
    return static_cast<double>(thousandths) / 1000.0;
}

std::string percentText(std::uint64_t thousandths) {
    return percent(thousandths).dump() + "%";
}

std::string switchName(const HostSnapshot& host, const std::wstring& path) {
    const std::wstring folded = foldCase(path);
    for (const auto& s : host.switches)
        if (foldCase(s.path) == folded) return narrow(s.name);
    return {};
}

std::string controllerKind(const HyperVSim::ControllerView& controller) {
    return controller.kind == HyperVSim::ControllerView::Kind::Ide ? "IDE" : "SCSI";
}

nlohmann::json machineJson(const HostSnapshot& host, const HyperVSim::MachineView& m) {
    nlohmann::json adapters = nlohmann::json::array();
    for (const auto& adapter : m.adapters) {
        nlohmann::json switches = nlohmann::json::array();
        for (const auto& path : adapter.switches)
            switches.push_back({{"name", switchName(host, path)}, {"path", narrow(path)}});
        adapters.push_back({{"name", narrow(adapter.name)},
                            {"staticMacAddress", adapter.staticMacAddress},
                            {"switches", switches}});
    }
    nlohmann::json controllers = nlohmann::json::array();
    for (const auto& controller : m.controllers) {
        nlohmann::json drives = nlohmann::json::array();
        for (const auto& drive : controller.drives)
            drives.push_back({{"address", narrow(drive.address)}, {"image", narrow(drive.image)}});
        controllers.push_back(
            {{"kind", controllerKind(controller)}, {"address", narrow(controller.address)}, {"drives", drives}});
    }
    return {{"name", narrow(m.name)},
            {"path", narrow(m.path)},
            {"id", narrow(m.id)},
            {"generation", m.generation},
            {"state", stateName(m.enabledState)},
            {"enabledState", m.enabledState},
            {"configurationDataRoot", narrow(m.configurationDataRoot)},
            {"memoryBytes", m.memoryMiB << 20},
            {"processors",
             {{"count", m.processors},
              {"reservationPercent", percent(m.processorReservation)},
              {"limitPercent", percent(m.processorLimit)},
              {"weight", m.processorWeight}}},
            {"adapters", adapters},
            {"controllers", controllers}};
}

std::string machineText(const HostSnapshot& host, const HyperVSim::MachineView& m, const std::string& indent) {
    const std::string in = indent + "    ";
    std::string text = indent + "  " + oneLine(narrow(m.name)) + "\n";
    text += in + "path:        " + narrow(m.path) + "\n";
    text += in + "state:       " + stateName(m.enabledState) + "\n";
    text += in + "generation:  " + std::to_string(m.generation) + "\n";
    text += in + "memory:      " + formatSize(m.memoryMiB << 20) + "\n";
    text += in + "processors:  " + std::to_string(m.processors) + " (reservation " +
            percentText(m.processorReservation) + ", limit " + percentText(m.processorLimit) + ", weight " +
            std::to_string(m.processorWeight) + ")\n";
    if (!m.configurationDataRoot.empty()) text += in + "config root: " + narrow(m.configurationDataRoot) + "\n";
    if (m.adapters.empty()) text += in + "adapters:    none\n";
    for (const auto& adapter : m.adapters) {
        text += in + "adapter:     " + oneLine(narrow(adapter.name));
        if (adapter.switches.empty()) text += " (not connected)";
        for (const auto& path : adapter.switches) {
            const std::string name = switchName(host, path);
            text += " -> " + (name.empty() ? narrow(path) : oneLine(name));
        }
        text += "\n";
    }
    for (const auto& controller : m.controllers) {
        text += in + "controller:  " + controllerKind(controller);
        if (!controller.address.empty()) text += " " + narrow(controller.address);
        text += "\n";
        for (const auto& drive : controller.drives)
            text += in + "  drive " + narrow(drive.address) + ":   " +
                    (drive.image.empty() ? std::string("(no disk)") : narrow(drive.image)) + "\n";
    }
    return text;
}

std::vector<Switch> switchesOf(const HostSnapshot& host) {
    std::vector<Switch> switches;
    for (const auto& s : host.switches) switches.push_back({narrow(s.path), narrow(s.name)});
    return switches;
}

}  // namespace

HostSnapshot takeHostSnapshot() {
    HostSnapshot host{HyperVSim::Control::machines(), HyperVSim::Control::switches(), std::nullopt, {}};
    std::uint64_t usedMemory = 0;
    const LibraryCall call("retrieveUsedMemory");
    if (Velmora::retrieveUsedMemory(logSink, usedMemory))
        host.usedMemory = usedMemory;
    else
        host.memoryFailure = call.reason();
    return host;
}

nlohmann::json hostJson(const HostSnapshot& host) {
    nlohmann::json machines = nlohmann::json::array();
    for (const auto& m : host.machines) machines.push_back(machineJson(host, m));
    nlohmann::json switches = nlohmann::json::array();
    for (const auto& s : switchesOf(host)) switches.push_back({{"name", s.name}, {"path", s.path}});
    return {{"machines", machines},
            {"switches", switches},
            {"usedMemoryBytes", host.usedMemory ? nlohmann::json(*host.usedMemory) : nlohmann::json()}};
}

std::string hostText(const HostSnapshot& host, const std::string& indent) {
    std::string text = indent + "Machines: " + std::to_string(host.machines.size()) + "\n";
    for (const auto& m : host.machines) text += machineText(host, m, indent);
    text += indent + "Switches: " + std::to_string(host.switches.size()) + "\n";
    text += switchTable(switchesOf(host), indent + "  ");
    text += indent + "Used memory: ";
    text += host.usedMemory ? describeSize(*host.usedMemory)
                            : std::string("unknown (retrieveUsedMemory returned false)");
    return text + "\n";
}

}  // namespace VelmoraCommand
