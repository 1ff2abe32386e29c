// Connecting as the library connects: which namespace names the locator and OpenNamespace take, and what each
// namespace serves.
#include "HostClient.h"

namespace HyperVSimTest {
namespace {

using ConnectionTest = HostTest;

TEST_F(ConnectionTest, TheLocatorTakesTheNamespaceNamesWindowsTakes) {
    const HRESULT invalid = wbem(WBEM_E_INVALID_NAMESPACE), unreachable = static_cast<HRESULT>(0x800706BA);
    // clang-format off
    const std::pair<const wchar_t*, HRESULT> names[] = {
        {L"root", S_OK}, {L"ROOT", S_OK}, {L"\\\\.\\root", S_OK}, {L"//./ROOT", S_OK}, {L"\\\\./ROOT", S_OK},
        {L"\\/.\\ROOT", S_OK}, {L"\\\\localhost\\ROOT", S_OK}, {L"\\\\HVSIM01\\root", S_OK},
        {L"root\\virtualization\\v2", S_OK}, {L"ROOT/VIRTUALIZATION/V2", S_OK}, {L"", invalid}, {L"\\", invalid},
        {L"\\\\.", invalid}, {L"\\\\.\\", invalid}, {L"\\ROOT", invalid}, {L"NONE", invalid},
        {L"root\\cimv2", invalid}, {L"ROOT\\\\virtualization", invalid}, {L"ROOT\\", invalid},
        {L"\\\\\\.\\ROOT", wbem(WBEM_E_INVALID_PARAMETER)}, {L"\\\\ROOT", unreachable},
        {L"\\\\OTHERHOST\\root", unreachable}};
    // clang-format on
    for (const auto& [name, expected] : names) {
        Services root;
        EXPECT_EQ(connect(name, root), expected) << narrow(name);
        EXPECT_EQ(bool(root), expected == S_OK) << narrow(name);
    }
}

TEST_F(ConnectionTest, OpenNamespaceReachesHyperVFromRootAlone) {
    Services root, step, v2;
    ASSERT_EQ(connect(L"root", root), S_OK);
    ASSERT_EQ(open(root.get(), L"virtualization", step), S_OK);
    EXPECT_EQ(open(step.get(), L"v2", v2), S_OK);
    const HRESULT invalid = wbem(WBEM_E_INVALID_NAMESPACE);
    // clang-format off
    const std::pair<const wchar_t*, HRESULT> names[] = {
        {L"virtualization\\v2", S_OK}, {L"VIRTUALIZATION/V2", S_OK}, {L"cimv2", invalid},
        {L"virtualization\\v1", invalid}, {L"\\virtualization\\v2", invalid}, {L"virtualization\\v2\\", invalid},
        {L"", invalid}};
    // clang-format on
    for (const auto& [name, expected] : names) {
        Services child;
        EXPECT_EQ(open(root.get(), name, child), expected) << narrow(name);
        EXPECT_EQ(bool(child), expected == S_OK) << narrow(name);
    }
    EXPECT_EQ(open(services.get(), L"virtualization\\v2", step), invalid);

    // Only the Hyper-V namespace has its classes.
    Object object;
    Enumerator enumerator;
    EXPECT_EQ(root->GetObject(bstr(L"Msvm_ComputerSystem").get(), 0, nullptr, object.put(), nullptr),
              wbem(WBEM_E_INVALID_CLASS));
    EXPECT_EQ(execQuery(root.get(), L"select * from Msvm_ComputerSystem", enumerator), wbem(WBEM_E_INVALID_CLASS));
}

}  // namespace
}  // namespace HyperVSimTest
