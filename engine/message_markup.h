// Putting outside text (paths, file names, system texts) into message markup.
#pragma once

#include <string>
#include <string_view>

namespace engine {

// text with "&", "<", ">", '"' and "'" written as entities, so that a path such as
// "/home/a&b/<x>" shows as itself and can close neither a tag nor a quoted attribute.
std::string EscapeMarkup(std::string_view text);

}  // namespace engine
