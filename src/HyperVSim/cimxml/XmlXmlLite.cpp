// The XML interface on XmlLite, the XML reader and writer of Windows (and of Wine). MinGW ships the header
// but no import library, so the two factory functions are taken from xmllite.dll when first needed.
#include <objbase.h>
#include <windows.h>
#include <xmllite.h>

#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>

#include "Xml.h"
#include "XmlLiteText.h"

namespace HyperVSim::cimxml {
namespace {

using CreateReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
using CreateWriterFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

struct XmlLiteEntryPoints {
    CreateReaderFunction createReader = nullptr;
    CreateWriterFunction createWriter = nullptr;
};

// The DLL stays loaded for the life of the process: XmlLite is a system component.
const XmlLiteEntryPoints& xmlLite() {
    static const XmlLiteEntryPoints entryPoints = [] {
        XmlLiteEntryPoints found;
        if (HMODULE module = ::LoadLibraryW(L"xmllite.dll")) {
            found.createReader = reinterpret_cast<CreateReaderFunction>(
                reinterpret_cast<void*>(::GetProcAddress(module, "CreateXmlReader")));
            found.createWriter = reinterpret_cast<CreateWriterFunction>(
                reinterpret_cast<void*>(::GetProcAddress(module, "CreateXmlWriter")));
        }
        return found;
    }();
    if (!entryPoints.createReader || !entryPoints.createWriter)
        throw std::runtime_error("XmlLite is not available (xmllite.dll)");
    return entryPoints;
}

// One reference to a COM object of XmlLite or of the stream.
template <class Interface>
class Owned {
public:
    Owned() = default;
    ~Owned() {
        if (pointer_) pointer_->Release();
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    Interface** put() { return &pointer_; }
    void** putVoid() { return reinterpret_cast<void**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

void check(HRESULT status, const char* what) {
    if (status == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(status)) throw std::runtime_error(std::string("XML writer failed: ") + what);
}

// A memory stream that frees its memory when released.
void createMemoryStream(Owned<IStream>& stream) {
    check(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), "memory stream");
}

}  // namespace

struct XmlWriter::Impl {
    Owned<IStream> stream;
    Owned<IXmlWriter> writer;
    int depth = 0;
};

XmlWriter::XmlWriter() : impl_(std::make_unique<Impl>()) {
    createMemoryStream(impl_->stream);
    check(xmlLite().createWriter(__uuidof(IXmlWriter), impl_->writer.putVoid(), nullptr), "create");
    check(impl_->writer->SetProperty(XmlWriterProperty_OmitXmlDeclaration, TRUE), "omit declaration");
    check(impl_->writer->SetProperty(XmlWriterProperty_ByteOrderMark, FALSE), "no byte order mark");
    check(impl_->writer->SetOutput(impl_->stream.get()), "output");
}

XmlWriter::~XmlWriter() = default;

void XmlWriter::startElement(std::string_view name) {
    check(impl_->writer->WriteStartElement(nullptr, wideFromUtf8(name).c_str(), nullptr), "start element");
    ++impl_->depth;
}

void XmlWriter::attribute(std::string_view name, std::string_view value) {
    check(impl_->writer->WriteAttributeString(nullptr, wideFromUtf8(name).c_str(), nullptr,
                                              wideFromUtf8(value).c_str()),
          "attribute");
}

void XmlWriter::text(std::string_view content) {
    // Written raw after escaping, as WMI leaves double quotes literal inside VALUE.
    check(impl_->writer->WriteRaw(wideFromUtf8(escapeCharacterData(content)).c_str()), "text");
}

void XmlWriter::endElement() {
    if (impl_->depth == 0) throw std::runtime_error("XML writer failed: no element to end");
    check(impl_->writer->WriteFullEndElement(), "end element");
    --impl_->depth;
}

std::string XmlWriter::result() {
    while (impl_->depth > 0) endElement();
    check(impl_->writer->Flush(), "flush");
    STATSTG status{};
    check(impl_->stream->Stat(&status, STATFLAG_NONAME), "stream size");
    HGLOBAL memory = nullptr;
    check(::GetHGlobalFromStream(impl_->stream.get(), &memory), "stream memory");
    const auto* bytes = static_cast<const char*>(::GlobalLock(memory));
    if (!bytes && status.cbSize.QuadPart != 0) throw std::runtime_error("XML writer failed: stream memory");
    std::string document(bytes ? bytes : "", static_cast<std::size_t>(status.cbSize.QuadPart));
    if (bytes) ::GlobalUnlock(memory);
    return document;
}

const std::string* XmlElement::attribute(std::string_view attributeName) const {
    for (const auto& candidate : attributes) {
        if (candidate.name == attributeName) return &candidate.value;
    }
    return nullptr;
}

namespace {

std::string readName(IXmlReader& reader) {
    const WCHAR* name = nullptr;
    UINT length = 0;
    if (FAILED(reader.GetLocalName(&name, &length))) return {};
    return utf8FromWide(std::wstring_view(name, length));
}

std::string readValue(IXmlReader& reader) {
    const WCHAR* value = nullptr;
    UINT length = 0;
    if (FAILED(reader.GetValue(&value, &length))) return {};
    return utf8FromWide(std::wstring_view(value, length));
}

std::string describe(IXmlReader& reader, HRESULT status) {
    UINT line = 0;
    reader.GetLineNumber(&line);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    return "not well-formed XML (line " + std::to_string(line) + "): XmlLite error " + code;
}

}  // namespace

XmlParseResult parseXml(std::string_view utf8) {
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<ULONG>::max()))
        return {{}, "XML text too large"};
    // A document type declaration may stand only in the prolog: refusing it there keeps entity declarations,
    // and with them entity expansion, out entirely.
    if (prologHasDoctype(utf8)) return {{}, "document type declarations are not accepted"};

    Owned<IStream> input;
    createMemoryStream(input);
    ULONG written = 0;
    check(input->Write(utf8.data(), static_cast<ULONG>(utf8.size()), &written), "input");
    LARGE_INTEGER start{};
    check(input->Seek(start, STREAM_SEEK_SET, nullptr), "input");

    Owned<IXmlReader> reader;
    check(xmlLite().createReader(__uuidof(IXmlReader), reader.putVoid(), nullptr), "create reader");
    check(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit), "no DTD");
    check(reader->SetInput(input.get()), "reader input");

    std::vector<XmlElement> open;
    std::optional<XmlElement> root;
    XmlNodeType type = XmlNodeType_None;
    for (;;) {
        const HRESULT status = reader->Read(&type);
        if (status == S_FALSE) break;
        if (status == E_OUTOFMEMORY) throw std::bad_alloc();
        if (FAILED(status)) return {{}, describe(*reader.get(), status)};
        switch (type) {
            case XmlNodeType_Element: {
                if (root) return {{}, "not well-formed XML: content after the root element"};
                XmlElement element;
                element.name = readName(*reader.get());
                const bool empty = reader->IsEmptyElement() != FALSE;
                for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK;
                     more = reader->MoveToNextAttribute())
                    element.attributes.push_back({readName(*reader.get()), readValue(*reader.get())});
                reader->MoveToElement();
                open.push_back(std::move(element));
                if (!empty) break;
                [[fallthrough]];
            }
            case XmlNodeType_EndElement: {
                XmlElement finished = std::move(open.back());
                open.pop_back();
                if (open.empty())
                    root = std::move(finished);
                else
                    open.back().children.push_back(std::move(finished));
                break;
            }
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                if (!open.empty()) open.back().text += readValue(*reader.get());
                break;
            default:
                break;
        }
    }
    if (!root) return {{}, "XML text has no root element"};
    return {std::move(*root), {}};
}

}  // namespace HyperVSim::cimxml
