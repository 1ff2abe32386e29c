// Input no caller should pass, given to every export: null pointers where the signatures allow them, empty,
// huge, non-ASCII and invalid texts, counts without arrays, every generation at the boundaries and extreme
// memory sizes. No crash and no sanitizer report; a failing call says why on its last line.
//
// A non-null array shorter than its count cannot be told from a long one: the count must match the array.
#include <gtest/gtest.h>

#include <HyperVSim/Control.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "AllowedLines.h"
#include "LibraryTest.h"
#include "Velmora/HResultError.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

const std::vector<std::wstring>& hostileTexts() {
    static const std::vector<std::wstring> texts = {
        L"",
        std::wstring(100000, L'x'),
        L"\u03a9mega-\u673a\u5668-\U0001F5A5",
        std::wstring{L'a', static_cast<wchar_t>(0xD800), L'b'},
        std::wstring{static_cast<wchar_t>(0xDFFF)},
        std::wstring{static_cast<wchar_t>(0x110000), L'z'},
        std::wstring{static_cast<wchar_t>(-1)},
    };
    return texts;
}

constexpr std::uint32_t hugeCount = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t generations[] = {0, 1, 2, 3, hugeCount};
constexpr std::uint64_t memorySizes[] = {0, 1, std::numeric_limits<std::uint64_t>::max()};

struct Case {
    std::string name;
    std::function<bool()> call;
};

Velmora::VMSettings plainSettings() {
    return Velmora::VMSettings{
        L"plain", 2, std::uint64_t{1} << 30, L"C:\\VMs", Velmora::CPUSettings{1, 0, 100, 100}, nullptr, 0};
}

bool create(const Velmora::VMSettings& settings) {
    Velmora::CreatedVM created{};
    return Velmora::createVM(captureLog, settings, created);
}

std::vector<Case> createCases() {
    std::vector<Case> cases;
    const auto add = [&](std::string name, std::function<void(Velmora::VMSettings&)> change) {
        cases.push_back({"createVM " + name, [change] {
                             Velmora::VMSettings settings = plainSettings();
                             change(settings);
                             return create(settings);
                         }});
    };
    add("null name", [](auto& s) { s.name = nullptr; });
    add("null folder", [](auto& s) { s.configurationDataRoot = nullptr; });
    for (std::size_t i = 0; i < hostileTexts().size(); ++i) {
        const wchar_t* text = hostileTexts()[i].c_str();
        add("name " + std::to_string(i), [text](auto& s) { s.name = text; });
        add("folder " + std::to_string(i), [text](auto& s) { s.configurationDataRoot = text; });
        add("switch " + std::to_string(i), [text](auto& s) {
            static thread_local const wchar_t* one[1];
            one[0] = text;
            s.networks = one;
            s.networksCount = 1;
        });
    }
    for (const std::uint32_t generation : generations)
        add("generation " + std::to_string(generation), [generation](auto& s) { s.generation = generation; });
    for (const std::uint64_t size : memorySizes)
        add("memory " + std::to_string(size), [size](auto& s) { s.ramSizeBytes = size; });
    for (const std::int32_t value : {std::numeric_limits<std::int32_t>::min(), -1, 0, 101})
        add("processors " + std::to_string(value), [value](auto& s) {
            s.cpu = Velmora::CPUSettings{value, value, value, value};
        });
    for (const std::uint32_t count : {1u, hugeCount})
        add("no switch list for " + std::to_string(count), [count](auto& s) { s.networksCount = count; });
    add("null switch entry", [](auto& s) {
        static const wchar_t* none[1] = {nullptr};
        s.networks = none;
        s.networksCount = 1;
    });
    return cases;
}

std::vector<Case> pathCases() {
    using Export = bool (*)(Velmora::LogCallback, const wchar_t*);
    const std::pair<const char*, Export> exports[] = {
        {"deleteVM", &Velmora::deleteVM}, {"startVM", &Velmora::startVM}, {"stopVM", &Velmora::stopVM}};
    std::vector<Case> cases;
    for (const auto& [name, exportCall] : exports) {
        cases.push_back(
            {std::string(name) + " null path", [exportCall] { return exportCall(captureLog, nullptr); }});
        for (std::size_t i = 0; i < hostileTexts().size(); ++i) {
            const wchar_t* text = hostileTexts()[i].c_str();
            cases.push_back({std::string(name) + " path " + std::to_string(i),
                             [exportCall, text] { return exportCall(captureLog, text); }});
        }
    }
    return cases;
}

std::vector<Case> diskCases() {
    std::vector<Case> cases;
    const auto disks = [](const wchar_t* path, std::uint32_t generation, const wchar_t** images,
                          std::uint32_t count) {
        return Velmora::setDiskImages(captureLog, path, generation, images, count);
    };
    const auto machine = [] { return Control::defineMachine(L"target", 2); };
    static const wchar_t* oneImage[1] = {L"C:\\Disks\\one.vhdx"};
    cases.push_back({"setDiskImages null path", [=] { return disks(nullptr, 2, oneImage, 1); }});
    for (std::size_t i = 0; i < hostileTexts().size(); ++i) {
        const wchar_t* text = hostileTexts()[i].c_str();
        cases.push_back({"setDiskImages path " + std::to_string(i), [=] { return disks(text, 2, oneImage, 1); }});
        cases.push_back({"setDiskImages image " + std::to_string(i), [=] {
                             const wchar_t* images[1] = {text};
                             return disks(machine().c_str(), 2, images, 1);
                         }});
    }
    for (const std::uint32_t generation : generations)
        cases.push_back({"setDiskImages generation " + std::to_string(generation),
                         [=] { return disks(machine().c_str(), generation, oneImage, 1); }});
    for (const std::uint32_t count : {0u, 1u, hugeCount})
        cases.push_back({"setDiskImages no list for " + std::to_string(count),
                         [=] { return disks(machine().c_str(), 2, nullptr, count); }});
    cases.push_back({"setDiskImages null image", [=] {
                         const wchar_t* images[1] = {nullptr};
                         return disks(machine().c_str(), 2, images, 1);
                     }});
    return cases;
}

class HostileInput : public LibraryTest {};

TEST_F(HostileInput, EveryExportRefusesOrCopes) {
    std::vector<Case> cases = createCases();
    for (auto& more : {pathCases(), diskCases()}) cases.insert(cases.end(), more.begin(), more.end());
    for (const Case& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        Control::reset();
        clearCapturedLines();
        bool result = false;
        try {
            result = hostile.call();
        } catch (const Velmora::HResultError& failure) {
            // Refused as an argument the library cannot work with.
            EXPECT_EQ(failure.hresult(), E_INVALIDARG);
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
