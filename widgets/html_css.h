// The style language of the markup renderer: sizes with units, colours by number or name, the
// style sheet and its declarations.
#pragma once

#include <QString>
#include <cstdint>
#include <map>

#include "widgets/html_style.h"

// What sizes with relative units are measured against.
struct SizeContext {
  int dpi = 96;         // vertical dots per inch of the device
  int fontHeight = 16;  // the current font's height
  int xHeight = 8;      // the height of "x" in the current font
};

namespace html_css {

// a * b / c rounded to the nearest integer, as the platform's MulDiv.
int MulDiv(int a, int b, int c);

// A size: "%" relative to current, units px ex em in cm mm pt pc; a bare number is pixels,
// except that for a font size 1-7 map to 8 10 12 14 18 24 36. Returns current when unreadable.
int ParseSize(const QString& value, int current, const SizeContext& context, bool fontSize);

// "#rrggbb", a number (decimal or 0x hex, 0x00BBGGRR) or a colour name; false (colour unchanged)
// for anything else, the short "#rgb" form included.
bool ParseColour(const QString& value, std::uint32_t& colour);

// The style sheet: selector (lower case) -> declarations; later rules replace earlier ones.
using StyleSheet = std::map<QString, QString>;
StyleSheet ParseStyleSheet(const QString& text);
const QString& DefaultStyleSheetText();

// Applies "property: value; ..." to style. Unknown properties and words keep the current value.
void ApplyDeclarations(HtmlStyle& style, const QString& declarations, const SizeContext& context,
                       bool colourMode, std::uint32_t fixedColour);

// An effect by name ("vbump") or number; -2 when unknown.
int EffectByName(const QString& value);

}  // namespace html_css
