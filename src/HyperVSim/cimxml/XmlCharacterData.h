// Text helpers shared by the XML backends.
#pragma once

#include <string>
#include <string_view>

namespace HyperVSim::cimxml {

// Character data escaped as WMI writes it: &, < and > as entities, CR as a character reference (a literal CR
// would be normalised away by the next parser), double quotes left literal (object paths are full of them).
std::string escapeCharacterData(std::string_view content);

// Whether a document type declaration follows the XML declaration, comments, processing instructions and
// white space at the start of the text: the only place where one is well-formed.
bool prologHasDoctype(std::string_view text);

}  // namespace HyperVSim::cimxml
