// Objects as CIM-XML text and back: what GetText writes for stored and spawned objects, what the host reads
// from embedded instances, and that reading what it wrote gives the same object.
#include "ModelClient.h"

namespace HyperVSimTest {
namespace {

class EmbeddedInstanceTest : public ModelTest {
protected:
    Ref<IWbemClassObject> fromText(const std::wstring& xml, HRESULT expected = S_OK) {
        Ref<IWbemObjectTextSrc> source;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                                   reinterpret_cast<void**>(source.out())),
                  S_OK);
        Bstr text(xml);
        Ref<IWbemClassObject> result;
        EXPECT_EQ(source->CreateFromText(0, text.get(), WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, result.out()), expected);
        return result;
    }

    // The class properties of a text: everything after the system properties, which name where the object
    // lives rather than what it holds.
    static std::wstring classPart(const std::wstring& xml) {
        const auto lastSystem = xml.rfind(L"CLASSORIGIN=\"___SYSTEM\"");
        if (lastSystem == std::wstring::npos) return xml;
        const auto next = xml.find(L"<PROPERTY", lastSystem);
        return next == std::wstring::npos ? std::wstring() : xml.substr(next);
    }
    static std::wstring property(const std::wstring& xml, const std::wstring& name) {
        const auto start = xml.find(L"NAME=\"" + name + L"\"");
        if (start == std::wstring::npos) return {};
        const auto open = xml.rfind(L'<', start);
        const auto close = xml.find(L"</PROPERTY", start);
        return xml.substr(open, close - open);
    }
};

TEST_F(EmbeddedInstanceTest, StoredObjectsReadBackEqual) {
    const std::wstring machine = defineMachine(L"round trip", 1);
    const std::wstring settings = settingsPathOf(machine);
    std::vector<std::wstring> paths{machine, settings};
    for (auto& resource : associated(settings, L"CIM_ResourceAllocationSettingData"))
        paths.push_back(text(resource.get(), L"__PATH"));
    for (const wchar_t* query : {L"select * from Msvm_VirtualEthernetSwitch", L"select * from Msvm_Memory",
                                 L"select * from Msvm_StorageAllocationSettingData"})
        for (auto& found : queryAll(services.get(), query)) paths.push_back(text(found.get(), L"__PATH"));
    ASSERT_GT(paths.size(), 12u);

    for (const auto& path : paths) {
        const std::wstring written = embeddedText(object(path).get());
        auto copy = fromText(written);
        ASSERT_TRUE(copy) << narrow(path);
        EXPECT_EQ(classPart(embeddedText(copy.get())), classPart(written)) << narrow(path);
    }
}

TEST_F(EmbeddedInstanceTest, SpawnedObjectsKeepWhatWasSetAndWhatTheClassGives) {
    auto memory = spawn(L"Msvm_MemorySettingData");
    put(memory.get(), L"VirtualQuantity", Var::i4(2048));
    put(memory.get(), L"HostResource", Var::texts({L"a", L"b\\c"}));
    put(memory.get(), L"DynamicMemoryEnabled", Var::boolean(true));
    const std::wstring written = embeddedText(memory.get());
    // Set values are the object's own; class defaults and unset properties are propagated.
    EXPECT_EQ(property(written, L"VirtualQuantity"),
              L"<PROPERTY NAME=\"VirtualQuantity\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" "
              L"TYPE=\"uint64\"><VALUE>2048</VALUE>");
    EXPECT_EQ(property(written, L"ResourceType"),
              L"<PROPERTY NAME=\"ResourceType\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" "
              L"PROPAGATED=\"true\" TYPE=\"uint16\"><VALUE>4</VALUE>");
    EXPECT_NE(property(written, L"Parent").find(L"PROPAGATED=\"true\" TYPE=\"string\">"), std::wstring::npos);
    EXPECT_NE(property(written, L"DynamicMemoryEnabled").find(L"<VALUE>TRUE</VALUE>"), std::wstring::npos);

    auto copy = fromText(written);
    ASSERT_TRUE(copy);
    EXPECT_EQ(classPart(embeddedText(copy.get())), classPart(written));
    EXPECT_EQ(text(copy.get(), L"VirtualQuantity"), L"2048");
    EXPECT_EQ(i4(copy.get(), L"ResourceType"), 4);
}

TEST_F(EmbeddedInstanceTest, SystemPropertiesTellWhereAnObjectLives) {
    const std::wstring machine = defineMachine(L"vm", 1);
    const std::wstring stored = embeddedText(object(machine).get());
    EXPECT_EQ(stored.rfind(L"<INSTANCE CLASSNAME=\"Msvm_ComputerSystem\">", 0), 0u);
    EXPECT_NE(property(stored, L"__PATH").find(L"<VALUE>" + machine + L"</VALUE>"), std::wstring::npos);
    EXPECT_NE(property(stored, L"__NAMESPACE").find(L"<VALUE>root\\virtualization\\v2</VALUE>"),
              std::wstring::npos);
    EXPECT_NE(property(stored, L"__SERVER").find(L"<VALUE>HVSIM01</VALUE>"), std::wstring::npos);
    EXPECT_NE(property(stored, L"__GENUS").find(L"TYPE=\"sint32\"><VALUE>2</VALUE>"), std::wstring::npos);
    EXPECT_NE(property(stored, L"__SUPERCLASS").find(L"<VALUE>CIM_ComputerSystem</VALUE>"), std::wstring::npos);
    EXPECT_NE(property(stored, L"__DYNASTY").find(L"<VALUE>CIM_ManagedElement</VALUE>"), std::wstring::npos);
    EXPECT_NE(stored.find(L"<VALUE.ARRAY><VALUE>CIM_ComputerSystem</VALUE><VALUE>CIM_System</VALUE>"),
              std::wstring::npos);
    // Stored values carry no PROPAGATED mark.
    EXPECT_EQ(property(stored, L"ElementName").find(L"PROPAGATED"), std::wstring::npos);

    // A spawned copy of a template with its key set, as clients clone templates: a relative path, no more.
    auto poolTemplate = defaultTemplate(L"Msvm_ResourceAllocationSettingData", L"Synthetic SCSI Controller");
    auto clone = spawn(L"Msvm_ResourceAllocationSettingData");
    put(clone.get(), L"InstanceID", Var::text(text(poolTemplate.get(), L"InstanceID")));
    const std::wstring spawned = embeddedText(clone.get());
    EXPECT_EQ(property(spawned, L"__PATH").find(L"<VALUE>"), std::wstring::npos);
    EXPECT_EQ(property(spawned, L"__SERVER").find(L"<VALUE>"), std::wstring::npos);
    EXPECT_NE(property(spawned, L"__RELPATH").find(L"<VALUE>Msvm_ResourceAllocationSettingData.InstanceID="),
              std::wstring::npos);
    auto bare = spawn(L"Msvm_ResourceAllocationSettingData");
    EXPECT_EQ(property(embeddedText(bare.get()), L"__RELPATH").find(L"<VALUE>"), std::wstring::npos);
}

TEST_F(EmbeddedInstanceTest, TextThatDoesNotFitTheClassIsRefused) {
    const std::wstring head = L"<INSTANCE CLASSNAME=\"Msvm_MemorySettingData\">";
    const std::wstring cases[] = {
        L"<INSTANCE CLASSNAME=\"Msvm_NoSuchClass\"></INSTANCE>",
        L"<INSTANCE CLASSNAME=\"Msvm_SettingsDefineState\"></INSTANCE>",
        head + L"<PROPERTY NAME=\"NoSuchProperty\" TYPE=\"string\"><VALUE>x</VALUE></PROPERTY></INSTANCE>",
        head + L"<PROPERTY NAME=\"ResourceType\" TYPE=\"uint16\"><VALUE>many</VALUE></PROPERTY></INSTANCE>",
        head + L"<PROPERTY NAME=\"ResourceType\" TYPE=\"uint16\"><VALUE>70000</VALUE></PROPERTY></INSTANCE>",
        head +
            L"<PROPERTY NAME=\"DynamicMemoryEnabled\" TYPE=\"boolean\"><VALUE>maybe</VALUE></PROPERTY></INSTANCE>",
        head +
            L"<PROPERTY.ARRAY NAME=\"ElementName\" TYPE=\"string\"><VALUE.ARRAY><VALUE>x</VALUE></VALUE.ARRAY>"
            L"</PROPERTY.ARRAY></INSTANCE>",
        head + L"<PROPERTY NAME=\"HostResource\" TYPE=\"string\"><VALUE>x</VALUE></PROPERTY></INSTANCE>",
    };
    for (const auto& xml : cases) EXPECT_FALSE(fromText(xml, wbem(WBEM_E_INVALID_SYNTAX))) << narrow(xml);
}

TEST_F(EmbeddedInstanceTest, TheMinimalFormIsReadByDeclaredTypes) {
    // Only what was set, no origins and no system properties; the declared type decides, not TYPE.
    auto copy = fromText(
        L"<INSTANCE CLASSNAME=\"Msvm_MemorySettingData\">"
        L"<PROPERTY NAME=\"virtualquantity\" TYPE=\"string\"><VALUE>512</VALUE></PROPERTY>"
        L"<PROPERTY NAME=\"ElementName\" TYPE=\"string\"></PROPERTY>"
        L"<PROPERTY NAME=\"DynamicMemoryEnabled\" TYPE=\"boolean\"><VALUE>false</VALUE></PROPERTY>"
        L"</INSTANCE>");
    ASSERT_TRUE(copy);
    Var quantity;
    CIMTYPE type = 0;
    ASSERT_EQ(copy->Get(L"VirtualQuantity", 0, quantity.get(), &type, nullptr), S_OK);
    EXPECT_EQ(type, CIM_UINT64);
    ASSERT_EQ(quantity->vt, VT_BSTR);
    EXPECT_EQ(std::wstring(quantity->bstrVal), L"512");
    EXPECT_EQ(typeOf(copy.get(), L"ElementName"), VT_NULL);
    EXPECT_EQ(i4(copy.get(), L"ResourceType"), 4);

    Call call = defineSystem(
        L"<INSTANCE CLASSNAME=\"Msvm_VirtualSystemSettingData\">"
        L"<PROPERTY NAME=\"ElementName\" TYPE=\"string\"><VALUE>minimal</VALUE></PROPERTY></INSTANCE>");
    EXPECT_EQ(call.returnValue(), 0);
    ASSERT_EQ(HyperVSim::Control::machines().size(), 1u);
    EXPECT_EQ(HyperVSim::Control::machines()[0].name, L"minimal");
}

}  // namespace
}  // namespace HyperVSimTest
