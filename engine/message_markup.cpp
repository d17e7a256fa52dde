#include "engine/message_markup.h"

namespace engine {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string EscapeMarkup(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      escaped += "&amp;";
      if (i + 1 < text.size() && IsAsciiLetter(text[i + 1])) escaped += "<span></span>";
    } else if (c == '<') {
      escaped += "&lt;";
    } else if (c == '>') {
      escaped += "&gt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string LinkMarkup(std::string_view target) {
  const bool single = target.find('\'') != std::string_view::npos;
  const bool dual = target.find('"') != std::string_view::npos;
  if (single && dual) return EscapeMarkup(target);
  const char quote = single ? '"' : '\'';
  std::string link = "<a href=";
  link += quote;
  link += target;
  link += quote;
  link += '>';
  return link + EscapeMarkup(target) + "</a>";
}

}  // namespace engine
