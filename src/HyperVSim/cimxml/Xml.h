#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The little XML the CIM-XML code needs, kept free of any XML library's types so that the backend can differ per
// platform. All text is UTF-8.
namespace HyperVSim::cimxml {

// Streams one document: no XML declaration, every element closed with an end tag (as WMI writes it), markup
// characters escaped by the backend.
class XmlWriter {
public:
    XmlWriter();
    ~XmlWriter();
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;

    // Each call throws std::runtime_error when the backend fails (out of memory, calls out of order).
    void startElement(std::string_view name);
    void attribute(std::string_view name, std::string_view value);  // only right after startElement
    void text(std::string_view content);
    void endElement();
    // Closes whatever is still open and returns the document; the writer is finished afterwards.
    std::string result();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

struct XmlAttribute {
    std::string name;
    std::string value;
};

struct XmlElement {
    std::string name;
    std::vector<XmlAttribute> attributes;  // in document order
    std::vector<XmlElement> children;      // child elements only
    std::string text;                      // the element's own character data (text and CDATA), concatenated

    const std::string* attribute(std::string_view attributeName) const;
};

struct XmlParseResult {
    std::optional<XmlElement> root;
    std::string error;  // empty when root is set
};

// Refuses any document type declaration and never touches the network or the file system: the text is untrusted.
XmlParseResult parseXml(std::string_view utf8);

}  // namespace HyperVSim::cimxml
