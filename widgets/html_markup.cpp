#include "widgets/html_markup.h"

#include <array>

namespace html_markup {

namespace {

// Entities, replaced one after the other in this order. "&lt;" becomes the doubled "<<", which
// the tag scanner reads as one literal less-than sign.
constexpr std::array<std::pair<const char16_t*, const char16_t*>, 13> kEntities = {{
    {u"&amp;", u"&"},
    {u"&bull;", u"\u2022"},
    {u"&copy;", u"\u00A9"},
    {u"&euro;", u"\u20AC"},
    {u"&gt;", u">"},
    {u"&iquest;", u"\u00BF"},
    {u"&lt;", u"<<"},
    {u"&nbsp;", u" "},
    {u"&para;", u"\u00B6"},
    {u"&pound;", u"\u00A3"},
    {u"&quot;", u"\""},
    {u"&reg;", u"\u00AE"},
    {u"&trade;", u"\u2122"},
}};

Token ParseTag(const QString& inside) {
  Token tag;
  tag.isTag = true;
  qsizetype i = 0;
  const qsizetype n = inside.size();
  if (i < n && inside[i] == u'/') {
    tag.closing = true;
    ++i;
  }
  const qsizetype nameStart = i;
  while (i < n && !inside[i].isSpace())
    ++i;
  tag.text = inside.mid(nameStart, i - nameStart);
  while (i < n) {
    while (i < n && inside[i].isSpace())
      ++i;
    const qsizetype keyStart = i;
    while (i < n && !inside[i].isSpace() && inside[i] != u'=')
      ++i;
    const QString key = inside.mid(keyStart, i - keyStart);
    while (i < n && inside[i].isSpace())
      ++i;
    if (i < n && inside[i] == u'=') {
      ++i;
      while (i < n && inside[i].isSpace())
        ++i;
      QString value;
      if (i < n && (inside[i] == u'\'' || inside[i] == u'"')) {
        const QChar quote = inside[i++];
        const qsizetype close = inside.indexOf(quote, i);
        const qsizetype end = close < 0 ? n : close;
        value = inside.mid(i, end - i);
        i = close < 0 ? n : close + 1;
      } else {
        const qsizetype valueStart = i;
        while (i < n && !inside[i].isSpace())
          ++i;
        value = inside.mid(valueStart, i - valueStart);
      }
      if (!key.isEmpty()) tag.attributes.emplace_back(key, value);
    } else if (!key.isEmpty()) {
      bool ok = false;
      const int number = key.toInt(&ok);
      if (ok && tag.number < 0) tag.number = number;
    }
  }
  return tag;
}
}  // namespace

QString ReplaceEntities(QString text) {
  for (const auto& [entity, replacement] : kEntities)
    text.replace(QString::fromUtf16(entity), QString::fromUtf16(replacement));
  return text;
}

std::vector<Token> Tokenize(const QString& text) {
  std::vector<Token> tokens;
  QString run;
  const auto flush = [&] {
    if (run.isEmpty()) return;
    Token token;
    token.text = run;
    tokens.push_back(std::move(token));
    run.clear();
  };
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c != u'<') {
      run += c;
      continue;
    }
    if (i + 1 < n && text[i + 1] == u'<') {  // the doubled "<<" is one literal
      run += u'<';
      ++i;
      continue;
    }
    qsizetype j = i + 1;
    QChar quote;
    bool afterEquals = false;
    for (; j < n; ++j) {
      const QChar d = text[j];
      if (!quote.isNull()) {
        if (d == quote) quote = QChar();
      } else if (afterEquals && (d == u'\'' || d == u'"')) {
        quote = d;
      } else if (d == u'>') {
        break;
      }
      if (!d.isSpace()) afterEquals = d == u'=';
    }
    if (j >= n) {  // no end: the rest is text
      run += c;
      continue;
    }
    flush();
    tokens.push_back(ParseTag(text.mid(i + 1, j - i - 1)));
    i = j;
  }
  flush();
  return tokens;
}

bool IsTag(const Token& token, const char* name, bool closing) {
  return token.isTag && token.closing == closing && token.text == QLatin1String(name);
}

}  // namespace html_markup
