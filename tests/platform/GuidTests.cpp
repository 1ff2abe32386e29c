// CoCreateGuid and StringFromGUID2.
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

using GuidTest = PlatformTest;

TEST_F(GuidTest, TextIsBracedUpperCaseWith39Characters) {
    const GUID guid = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
    wchar_t buffer[39];
    ASSERT_EQ(StringFromGUID2(guid, buffer, 39), 39);
    EXPECT_EQ(std::wstring(buffer), L"{4590F811-1D3A-11D0-891F-00AA004B2E24}");
    EXPECT_EQ(StringFromGUID2(CLSID_WbemObjectTextSrc, buffer, 39), 39);
    EXPECT_EQ(std::wstring(buffer), L"{8D1C559D-84F0-4BB3-A7D5-56A7435A9BA6}");
}

TEST_F(GuidTest, ShortBufferGivesZero) {
    wchar_t buffer[64] = L"untouched";
    EXPECT_EQ(StringFromGUID2(IID_IUnknown, buffer, 38), 0);
    EXPECT_EQ(StringFromGUID2(IID_IUnknown, nullptr, 39), 0);
    EXPECT_EQ(StringFromGUID2(IID_IUnknown, buffer, 64), 39);
    EXPECT_EQ(std::wstring(buffer), L"{00000000-0000-0000-C000-000000000046}");
}

TEST_F(GuidTest, CreatedGuidsAreVersion4AndDistinct) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        GUID guid{};
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        EXPECT_EQ(guid.Data3 >> 12, 4);
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
        wchar_t buffer[39];
        StringFromGUID2(guid, buffer, 39);
        seen.insert(buffer);
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

TEST_F(GuidTest, CreatingGuidsOnManyThreads) {
    std::vector<std::thread> threads;
    std::vector<GUID> guids(8);
    for (std::size_t t = 0; t < guids.size(); ++t) threads.emplace_back([&, t] { CoCreateGuid(&guids[t]); });
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 1; i < guids.size(); ++i) EXPECT_FALSE(IsEqualGUID(guids[0], guids[i]));
}
