// Input no caller should pass, given to every export: null pointers where the signatures allow them, empty,
// huge, non-ASCII and invalid texts, counts without arrays, every generation at the boundaries and extreme
// memory sizes. No crash and no sanitizer report; only documented lines, and a failing call says why on its
// last line. (A non-null array shorter than its count cannot be told from a long one: the count must match.)
#include <HyperVSim/Control.h>

#include <array>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>

#include "Reliability.h"
#include "Velmora/HResultError.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

const std::vector<std::wstring> hostileTexts = {L"",
                                                std::wstring(100000, L'x'),
                                                L"\u03a9mega-\u673a\u5668-\U0001F5A5",
                                                {L'a', static_cast<wchar_t>(0xD800), L'b'},
                                                {static_cast<wchar_t>(0xDFFF)},
                                                {static_cast<wchar_t>(0x110000), L'z'},
                                                {static_cast<wchar_t>(-1)}};
constexpr std::uint32_t hugeCount = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t generations[] = {0, 1, 2, 3, hugeCount};
const wchar_t* const oneImage = L"C:\\Disks\\one.vhdx";

struct Case {
    std::string name;
    std::function<bool()> call;
};

std::vector<Case> hostileCases() {
    std::vector<Case> cases;
    const auto create = [&](std::string name, std::function<void(Velmora::VMSettings&)> change) {
        cases.push_back({"createVM " + name, [change] {
                             Velmora::VMSettings settings{
                                 L"plain", 2, std::uint64_t{1} << 30, L"C:\\VMs", {1, 0, 100, 100}, nullptr, 0};
                             change(settings);
                             Velmora::CreatedVM created{};
                             return Velmora::createVM(captureLog, settings, created);
                         }});
    };
    // setDiskImages of the given path, or of a machine that exists; an empty list is passed as none.
    const auto disks = [&](std::string name, std::optional<const wchar_t*> path, std::uint32_t generation,
                           std::vector<const wchar_t*> images, std::uint32_t count) {
        cases.push_back({"setDiskImages " + name, [=]() mutable {
                             const std::wstring machine = path ? L"" : Control::defineMachine(L"target", 2);
                             return Velmora::setDiskImages(captureLog, path ? *path : machine.c_str(), generation,
                                                           images.empty() ? nullptr : images.data(), count);
                         }});
    };
    using PathExport = bool (*)(Velmora::LogCallback, const wchar_t*);
    const std::pair<std::string, PathExport> pathExports[] = {
        {"deleteVM", &Velmora::deleteVM}, {"startVM", &Velmora::startVM}, {"stopVM", &Velmora::stopVM}};
    std::vector<const wchar_t*> texts = {nullptr};
    for (const std::wstring& text : hostileTexts) texts.push_back(text.c_str());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const wchar_t* text = texts[i];
        const std::string name = text ? std::to_string(i) : "null";
        create("name " + name, [text](auto& s) { s.name = text; });
        create("folder " + name, [text](auto& s) { s.configurationDataRoot = text; });
        create("switch " + name, [one = std::array{text}](auto& s) mutable {
            s.networks = one.data();
            s.networksCount = 1;
        });
        for (const auto& [exportName, exportCall] : pathExports)
            cases.push_back({exportName + " path " + name, [=] { return exportCall(captureLog, text); }});
        disks("image " + name, std::nullopt, 2, {text}, 1);
        disks("path " + name, text, 2, {oneImage}, 1);
    }
    for (const std::uint32_t generation : generations) {
        create("generation " + std::to_string(generation), [generation](auto& s) { s.generation = generation; });
        disks("generation " + std::to_string(generation), std::nullopt, generation, {oneImage}, 1);
    }
    for (const std::uint64_t size : {std::uint64_t{0}, std::uint64_t{1}, std::numeric_limits<std::uint64_t>::max()})
        create("memory " + std::to_string(size), [size](auto& s) { s.ramSizeBytes = size; });
    for (const std::int32_t value : {std::numeric_limits<std::int32_t>::min(), -1, 0, 101})
        create("processors " + std::to_string(value), [value](auto& s) { s.cpu = {value, value, value, value}; });
    for (const std::uint32_t count : {0u, 1u, hugeCount}) {
        disks("no list for " + std::to_string(count), std::nullopt, 2, {}, count);
        if (count > 0)
            create("no switch list for " + std::to_string(count), [count](auto& s) { s.networksCount = count; });
    }
    return cases;
}

class HostileInput : public LibraryTest {};

TEST_F(HostileInput, EveryExportRefusesOrCopes) {
    const std::vector<Case> cases = hostileCases();
    for (const Case& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        Control::reset();
        clearCapturedLines();
        bool result = false;
        try {
            result = hostile.call();
        } catch (const Velmora::HResultError& refusal) {
            EXPECT_EQ(refusal.hresult(), E_INVALIDARG);  // refused as an argument the library cannot work with
        }
        const LogLines& lines = capturedLines();
        for (const LogLine& line : lines) EXPECT_TRUE(isAllowedLine(line.text)) << line.text.substr(0, 200);
        if (!result && !lines.empty()) {
            EXPECT_EQ(lines.back().level, Velmora::Error);
        }
        expectNothingLive();
        if (HasFatalFailure()) return;
    }
    std::cout << "hostile input: " << cases.size() << " cases\n";
}

}  // namespace
}  // namespace VelmoraTest
