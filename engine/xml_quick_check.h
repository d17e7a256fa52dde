// A quick test for the common case of the XML check: a document in plain form (the form word
// processors write: UTF-8, names in ASCII, no document type, no processing instructions past
// the XML declaration) that is certainly well-formed. It reads each byte once, many times
// faster than a full parser, and says true only when a full parser would accept the document;
// false means "not known", and the full parser decides.
#pragma once

#include <string_view>

namespace engine {

bool PlainlyWellFormed(std::string_view text);

}  // namespace engine
