#include "widgets/html_css.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>

#include "widgets/draw_manager.h"

namespace html_css {

namespace {

bool IsLetters(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text) {
    if (c < u'a' || c > u'z') return false;
  }
  return true;
}

// The platform's system colours, taken from the application palette.
bool SystemColour(const QString& name, std::uint32_t& colour) {
  struct Entry {
    const char* name;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
  };
  static const Entry kEntries[] = {
      {"activeborder", QPalette::Active, QPalette::Window},
      {"activecaption", QPalette::Active, QPalette::Highlight},
      {"appworkspace", QPalette::Active, QPalette::Dark},
      {"background", QPalette::Active, QPalette::Window},
      {"buttonface", QPalette::Active, QPalette::Button},
      {"buttonhighlight", QPalette::Active, QPalette::Light},
      {"buttonshadow", QPalette::Active, QPalette::Mid},
      {"buttontext", QPalette::Active, QPalette::ButtonText},
      {"captiontext", QPalette::Active, QPalette::HighlightedText},
      {"graytext", QPalette::Disabled, QPalette::Text},
      {"highlight", QPalette::Active, QPalette::Highlight},
      {"highlighttext", QPalette::Active, QPalette::HighlightedText},
      {"inactiveborder", QPalette::Inactive, QPalette::Window},
      {"inactivecaption", QPalette::Inactive, QPalette::Highlight},
      {"inactivecaptiontext", QPalette::Inactive, QPalette::HighlightedText},
      {"infobackground", QPalette::Active, QPalette::ToolTipBase},
      {"infotext", QPalette::Active, QPalette::ToolTipText},
      {"menu", QPalette::Active, QPalette::Window},
      {"menutext", QPalette::Active, QPalette::WindowText},
      {"scrollbar", QPalette::Active, QPalette::Mid},
      {"threeddarkshadow", QPalette::Active, QPalette::Shadow},
      {"threedface", QPalette::Active, QPalette::Button},
      {"threedhighlight", QPalette::Active, QPalette::Light},
      {"threedlightshadow", QPalette::Active, QPalette::Midlight},
      {"threedshadow", QPalette::Active, QPalette::Mid},
      {"window", QPalette::Active, QPalette::Base},
      {"windowframe", QPalette::Active, QPalette::Shadow},
      {"windowtext", QPalette::Active, QPalette::WindowText},
  };
  for (const Entry& entry : kEntries) {
    if (name == QLatin1String(entry.name)) {
      colour = CDrawManager::FromQColor(QGuiApplication::palette().color(entry.group, entry.role));
      return true;
    }
  }
  return false;
}

// The words of a value: split at commas and blanks.
QStringList Words(const QString& value) {
  return value.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
}

QString Unquoted(QString value) {
  value = value.trimmed();
  if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
    value = value.mid(1, value.size() - 2);
  return value;
}

int Weight(const QString& value, int current) {
  if (value.isEmpty() || value == u"normal") return 400;
  if (value == u"bold") return 700;
  if (value == u"bolder") return 900;
  if (value == u"lighter") return 100;
  bool ok = false;
  const int number = value.toInt(&ok);
  return ok ? number : current;
}

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const long long product = static_cast<long long>(a) * b;
  const long long half = (c > 0 ? c : -c) / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

int ParseSize(const QString& input, int current, const SizeContext& context, bool fontSize) {
  QString value = input.trimmed().toLower();
  if (value.isEmpty()) return current;
  if (value.endsWith(u'%')) {
    bool ok = false;
    const double percent = value.chopped(1).toDouble(&ok);
    return ok ? MulDiv(current, static_cast<int>(std::lround(percent)), 100) : current;
  }
  if (value.startsWith(u'+') || value.startsWith(u'-')) value = value.mid(1);
  const QString unit = value.size() > 2 ? value.right(2) : QString();
  static const QStringList kUnits = {
      QStringLiteral("px"), QStringLiteral("ex"), QStringLiteral("em"), QStringLiteral("in"),
      QStringLiteral("cm"), QStringLiteral("mm"), QStringLiteral("pt"), QStringLiteral("pc")};
  const bool hasUnit = kUnits.contains(unit);
  bool ok = false;
  const double number = (hasUnit ? value.chopped(2) : value).toDouble(&ok);
  if (!ok) return current;
  const double dpi = context.dpi;
  double pixels = number;
  if (unit == u"ex")
    pixels = number * context.xHeight;
  else if (unit == u"em")
    pixels = number * context.fontHeight;
  else if (unit == u"in")
    pixels = number * dpi;
  else if (unit == u"cm")
    pixels = dpi * number / 2.54;
  else if (unit == u"mm")
    pixels = dpi * number / 25.4;
  else if (unit == u"pt")
    pixels = dpi * number / 72.0;
  else if (unit == u"pc")
    pixels = dpi * number / 6.0;
  if (!hasUnit && fontSize) {
    static const int kFontSizes[] = {8, 10, 12, 14, 18, 24, 36};
    const int index = static_cast<int>(number);
    if (index >= 1 && index <= 7 && number == index) return kFontSizes[index - 1];
  }
  return static_cast<int>(pixels);
}

bool ParseColour(const QString& input, std::uint32_t& colour) {
  const QString value = input.trimmed().toLower();
  if (value.isEmpty()) return false;
  if (value.startsWith(u'#')) {
    if (value.size() != 7) return false;
    bool ok = false;
    const unsigned rgb = value.mid(1).toUInt(&ok, 16);
    if (!ok) return false;
    colour = CDrawManager::Rgb(static_cast<int>((rgb >> 16) & 0xFF),
                               static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
    return true;
  }
  if (value[0].isDigit()) {
    bool ok = false;
    const unsigned number = value.startsWith(QStringLiteral("0x")) ? value.mid(2).toUInt(&ok, 16)
                                                                   : value.toUInt(&ok, 10);
    if (!ok) return false;
    colour = number & 0xFFFFFFu;
    return true;
  }
  if (!IsLetters(value)) return false;
  if (SystemColour(value, colour)) return true;
  // Qt knows the CSS colour keywords under the same names and values.
  if (value == u"transparent" || !QColor::isValidColor(value)) return false;
  colour = CDrawManager::FromQColor(QColor(value));
  return true;
}

const QString& DefaultStyleSheetText() {
  static const QString text = QStringLiteral(
      "body {font-size: 10pt; color:black; font-family:Verdana}\n"
      "p {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\n"
      "h1 {font-size: 14pt; color:black; font-family:Verdana; font-weight:bold}\n"
      "h2 {font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold}\n"
      "h3 {font-size: 12pt; color:#ff9900; font-family:Arial; font-weight:bold}\n"
      "h4 {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\n"
      "h5 {font-size: 9pt; color:#ff9900; font-family:Verdana; font-weight:bold}\n"
      "h6 {font-size: 65%; color:#626262; font-family:Verdana; font-weight:normal}\n"
      "pre {font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb}\n"
      "code {color:#990000; font-family:Arial}\n"
      "a:link {text-decoration:none; color:blue}\n"
      "a:hover {text-decoration:underline; color:blue}\n"
      "sub {font-size:65%; vertical-align:bottom}\n"
      "sup {font-size:65%; vertical-align:top}\n"
      "big {font-size:125%}\n"
      "small {font-size:75%}\n"
      ".cpp-comment {color:green; font-style:italic}\n");
  return text;
}

StyleSheet ParseStyleSheet(const QString& text) {
  StyleSheet sheet;
  qsizetype at = 0;
  while (at < text.size()) {
    const qsizetype open = text.indexOf(u'{', at);
    if (open < 0) break;
    const qsizetype close = text.indexOf(u'}', open + 1);
    if (close < 0) break;
    const QString selector = text.mid(at, open - at).trimmed().toLower();
    if (!selector.isEmpty()) sheet[selector] = text.mid(open + 1, close - open - 1).trimmed();
    at = close + 1;
  }
  return sheet;
}

int EffectByName(const QString& input) {
  static const char* const kNames[] = {"solid",      "hgradient",  "vgradient",  "hcgradient",
                                       "vcgradient", "3hgradient", "3vgradient", "noise",
                                       "diagshade",  "hshade",     "vshade",     "hbump",
                                       "vbump",      "softbump",   "hardbump",   "metal"};
  const QString value = input.trimmed().toLower();
  if (value == u"transparent") return -1;
  for (int i = 0; i < 16; ++i) {
    if (value == QLatin1String(kNames[i])) return i;
  }
  bool ok = false;
  const int number = value.toInt(&ok);
  return ok ? number : -2;
}

void ApplyDeclarations(HtmlStyle& style, const QString& declarations, const SizeContext& context,
                       bool colourMode, std::uint32_t fixedColour) {
  const auto colourOf = [&](const QString& value, std::uint32_t& target) {
    std::uint32_t parsed = target;
    if (!ParseColour(value, parsed)) return false;
    target = colourMode ? parsed : fixedColour;
    return true;
  };
  // Split at semicolons outside double quotes.
  QStringList parts;
  QString part;
  bool quoted = false;
  for (QChar c : declarations) {
    if (c == u'"') quoted = !quoted;
    if (c == u';' && !quoted) {
      parts << part;
      part.clear();
    } else {
      part += c;
    }
  }
  parts << part;
  for (const QString& declaration : parts) {
    const qsizetype colon = declaration.indexOf(u':');
    if (colon < 0) continue;
    const QString property = declaration.left(colon).trimmed().toLower();
    const QString raw = Unquoted(declaration.mid(colon + 1));
    const QString value = raw.toLower();
    if (property == u"font-size") {
      style.size = ParseSize(value, style.size, context, true);
    } else if (property == u"font-family") {
      if (!raw.isEmpty()) style.face = raw;
    } else if (property == u"font-style") {
      if (value.isEmpty() || value == u"normal")
        style.italic = false;
      else if (value == u"italic" || value == u"oblique")
        style.italic = true;
    } else if (property == u"font-weight") {
      style.weight = Weight(value, style.weight);
    } else if (property == u"text-align") {
      if (value.isEmpty() || value == u"left")
        style.hAlign = 0;
      else if (value == u"center")
        style.hAlign = 1;
      else if (value == u"right")
        style.hAlign = 2;
    } else if (property == u"text-transform") {
      if (value.isEmpty() || value == u"none")
        style.textTransform = 0;
      else if (value == u"uppercase")
        style.textTransform = 1;
      else if (value == u"lowercase")
        style.textTransform = 2;
      else if (value == u"capitalize")
        style.textTransform = 3;
    } else if (property == u"color") {
      colourOf(value, style.textColour);
    } else if (property == u"background-color") {
      if (!colourMode) continue;
      if (value == u"transparent") {
        style.backMode = 1;
      } else if (colourOf(value, style.backColour)) {
        style.backMode = 2;
      }
    } else if (property == u"text-decoration") {
      const QStringList words = Words(value);
      if (words.isEmpty()) style.underline = style.strikeout = style.overline = false;
      for (const QString& word : words) {
        if (word == u"none")
          style.underline = style.strikeout = style.overline = false;
        else if (word == u"underline")
          style.underline = true;
        else if (word == u"line-through")
          style.strikeout = true;
        else if (word == u"overline")
          style.overline = true;
      }
    } else if (property == u"vertical-align") {
      if (value.isEmpty() || value == u"baseline")
        style.vAlign = 3;
      else if (value == u"middle" || value == u"vcenter")
        style.vAlign = 1;
      else if (value == u"top")
        style.vAlign = 0;
      else if (value == u"bottom")
        style.vAlign = 2;
    } else if (property == u"border-color") {
      if (colourOf(value, style.borderLight)) style.borderDark = style.borderLight;
    } else if (property == u"border-width" || property == u"size") {
      if (value == u"thin")
        style.borderWidth = MulDiv(style.borderWidth, 75, 100);
      else if (value == u"thick")
        style.borderWidth = MulDiv(style.borderWidth, 125, 100);
      else if (value != u"medium")
        style.borderWidth = ParseSize(value, style.borderWidth, context, false);
      if (style.borderWidth == 0)
        style.borderStyle = 0;
      else if (style.borderStyle == 0)
        style.borderStyle = 1;
    } else if (property == u"border-style") {
      if (value.isEmpty() || value == u"none")
        style.borderStyle = 0;
      else if (value == u"solid")
        style.borderStyle = 1;
      else if (value == u"dotted")
        style.borderStyle = 3;
      else if (value == u"dashed")
        style.borderStyle = 2;
      else if (value == u"double")
        style.borderStyle = 6;
      if (style.borderStyle != 0 && style.borderWidth == 0) style.borderWidth = 1;
    } else if (property == u"margin") {
      style.margin = ParseSize(value, style.margin, context, false);
    } else if (property == u"padding") {
      style.padding = ParseSize(value, style.padding, context, false);
    }
  }
}

}  // namespace html_css
