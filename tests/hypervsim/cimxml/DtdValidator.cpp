#include "DtdValidator.h"

#include <libxml/parser.h>
#include <libxml/valid.h>

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "Text.h"

namespace HyperVSim::cimxml::test {
namespace {

struct DtdDeleter {
    void operator()(xmlDtdPtr dtd) const { xmlFreeDtd(dtd); }
};
struct DocDeleter {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct ValidCtxtDeleter {
    void operator()(xmlValidCtxtPtr ctxt) const { xmlFreeValidCtxt(ctxt); }
};

void collect(void* sink, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    *static_cast<std::string*>(sink) += buffer;
}

}  // namespace

std::string dtdErrors(std::wstring_view document) {
    std::unique_ptr<xmlDtd, DtdDeleter> dtd(
        xmlParseDTD(nullptr, reinterpret_cast<const xmlChar*>(VELMORA_CIM_DTD_PATH)));
    if (!dtd) return "cannot load " VELMORA_CIM_DTD_PATH;
    const std::string utf8 = toUtf8(document);
    std::unique_ptr<xmlDoc, DocDeleter> doc(
        xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", XML_PARSE_NONET));
    if (!doc) return "not well-formed";
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || std::string_view(reinterpret_cast<const char*>(root->name)) != "INSTANCE")
        return "root is not INSTANCE";

    std::string errors;
    std::unique_ptr<xmlValidCtxt, ValidCtxtDeleter> validator(xmlNewValidCtxt());
    validator->userData = &errors;
    validator->error = collect;
    validator->warning = collect;
    if (xmlValidateDtd(validator.get(), doc.get(), dtd.get()) != 1 && errors.empty()) errors = "invalid";
    return errors;
}

}  // namespace HyperVSim::cimxml::test
