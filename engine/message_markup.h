// Putting outside text (paths, file names, system texts) into message markup.
//
// The message box replaces entities before it reads tags, "&amp;" first, and reads "&lt;" as a
// literal less-than sign. So an escaped ampersand that precedes letters is followed by an empty
// span, which draws nothing but keeps the letters from forming an entity ("a&lt;b" stays
// itself). The desktop's own escaping of names does the same; a test ties the two together.
#pragma once

#include <string>
#include <string_view>

namespace engine {

// text with "&", "<" and ">" written so that the message shows it as itself: a path such as
// "/home/a&b/<x>" can open no tag and form no entity.
std::string EscapeMarkup(std::string_view text);

// A link to target showing target itself: "<a href='target'>target</a>", the target quoted with
// double quotes when it holds a single quote. A target holding both quotes cannot be quoted in
// the markup (entities are replaced before tags are read), so it is shown without a link rather
// than with one that opens another place.
std::string LinkMarkup(std::string_view target);

}  // namespace engine
