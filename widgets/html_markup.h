// The markup's surface: entities replaced in their order, and the text cut into text runs and
// tags with their attributes.
#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace html_markup {

struct Token {
  bool isTag = false;
  QString text;  // text run, or the tag name
  bool closing = false;
  std::vector<std::pair<QString, QString>> attributes;
  int number = -1;  // a bare number after the tag name ("<br 3>")

  QString Attribute(const char* name, bool* present = nullptr) const {
    for (const auto& [key, value] : attributes) {
      if (key == QLatin1String(name)) {
        if (present) *present = true;
        return value;
      }
    }
    if (present) *present = false;
    return {};
  }
};

// Replaces the entities one after the other, "&amp;" first.
QString ReplaceEntities(QString text);
// Text runs and tags; "<<" is one literal less-than sign, a "<" without a closing ">" is text.
std::vector<Token> Tokenize(const QString& text);
bool IsTag(const Token& token, const char* name, bool closing);

}  // namespace html_markup
