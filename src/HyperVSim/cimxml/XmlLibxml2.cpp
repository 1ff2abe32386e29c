#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

#include <limits>
#include <stdexcept>

#include "Xml.h"
#include "XmlCharacterData.h"

namespace HyperVSim::cimxml {
namespace {

// libxml2 must be initialised once before threads use it; a function-local static makes that race-free.
void ensureLibxml2Initialised() {
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
}

const xmlChar* asXmlChars(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string fromXmlChars(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : std::string{};
}

struct BufferDeleter {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};
struct TextWriterDeleter {
    void operator()(xmlTextWriterPtr writer) const { xmlFreeTextWriter(writer); }
};
struct ParserContextDeleter {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct DocumentDeleter {
    void operator()(xmlDocPtr document) const { xmlFreeDoc(document); }
};
struct XmlStringDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

void check(int status, const char* what) {
    if (status < 0) throw std::runtime_error(std::string("XML writer failed: ") + what);
}

}  // namespace

struct XmlWriter::Impl {
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer;
    std::unique_ptr<xmlTextWriter, TextWriterDeleter> writer;
    int depth = 0;
};

XmlWriter::XmlWriter() : impl_(std::make_unique<Impl>()) {
    ensureLibxml2Initialised();
    impl_->buffer.reset(xmlBufferCreate());
    if (!impl_->buffer) throw std::bad_alloc();
    impl_->writer.reset(xmlNewTextWriterMemory(impl_->buffer.get(), 0));
    if (!impl_->writer) throw std::bad_alloc();
}

XmlWriter::~XmlWriter() {
    // The text writer flushes into the buffer when freed, so it has to go first.
    impl_->writer.reset();
}

void XmlWriter::startElement(std::string_view name) {
    check(xmlTextWriterStartElement(impl_->writer.get(), asXmlChars(std::string(name))), "start element");
    ++impl_->depth;
}

void XmlWriter::attribute(std::string_view name, std::string_view value) {
    check(xmlTextWriterWriteAttribute(impl_->writer.get(), asXmlChars(std::string(name)),
                                      asXmlChars(std::string(value))),
          "attribute");
}

void XmlWriter::text(std::string_view content) {
    // libxml2's own text escaping also turns double quotes into &quot;, which WMI leaves literal inside VALUE,
    // so character data is escaped here and written raw.
    const std::string escaped = escapeCharacterData(content);
    check(xmlTextWriterWriteRaw(impl_->writer.get(), asXmlChars(escaped)), "text");
}

void XmlWriter::endElement() {
    if (impl_->depth == 0) throw std::runtime_error("XML writer failed: no element to end");
    check(xmlTextWriterFullEndElement(impl_->writer.get()), "end element");
    --impl_->depth;
}

std::string XmlWriter::result() {
    while (impl_->depth > 0) endElement();
    check(xmlTextWriterFlush(impl_->writer.get()), "flush");
    impl_->writer.reset();
    return fromXmlChars(xmlBufferContent(impl_->buffer.get()));
}

const std::string* XmlElement::attribute(std::string_view attributeName) const {
    for (const auto& candidate : attributes) {
        if (candidate.name == attributeName) return &candidate.value;
    }
    return nullptr;
}

namespace {

struct ParseState {
    bool sawDoctype = false;
};

// Called for "<!DOCTYPE": stopping here keeps entity declarations, and with them entity expansion, out entirely.
void refuseDoctype(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* context = static_cast<xmlParserCtxtPtr>(userData);
    static_cast<ParseState*>(context->_private)->sawDoctype = true;
    xmlStopParser(context);
}

XmlElement convert(const xmlNode* node) {
    XmlElement element;
    element.name = fromXmlChars(node->name);
    for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
        std::unique_ptr<xmlChar, XmlStringDeleter> value(xmlNodeListGetString(node->doc, attribute->children, 1));
        element.attributes.push_back({fromXmlChars(attribute->name), fromXmlChars(value.get())});
    }
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            element.children.push_back(convert(child));
        } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            element.text += fromXmlChars(child->content);
        }
    }
    return element;
}

std::string describe(const xmlError* error) {
    if (!error || !error->message) return "not well-formed XML";
    std::string message = error->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    return "not well-formed XML (line " + std::to_string(error->line) + "): " + message;
}

}  // namespace

XmlParseResult parseXml(std::string_view utf8) {
    ensureLibxml2Initialised();
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {{}, "XML text too large"};

    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
    if (!context) throw std::bad_alloc();
    ParseState state;
    context->_private = &state;
    context->sax->internalSubset = refuseDoctype;
    context->sax->externalSubset = nullptr;

    // No XML_PARSE_NOENT, DTDLOAD, DTDATTR or XINCLUDE: nothing is substituted or fetched.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    std::unique_ptr<xmlDoc, DocumentDeleter> document(
        xmlCtxtReadMemory(context.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options));

    if (state.sawDoctype) return {{}, "document type declarations are not accepted"};
    if (!document || !context->wellFormed) return {{}, describe(xmlCtxtGetLastError(context.get()))};
    const xmlNode* root = xmlDocGetRootElement(document.get());
    if (!root) return {{}, "XML text has no root element"};
    return {convert(root), {}};
}

}  // namespace HyperVSim::cimxml
