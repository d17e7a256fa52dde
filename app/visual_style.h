// The nine visual styles of the frame (210-218), mapped onto Qt styles and palettes, and the
// stored choice ("ApplicationLook" under the organisation "BrenvikDotmRepair").
#pragma once

#include <QPalette>

// The palette that gives a style its character; values outside 210-218 get the blue one.
QPalette PaletteForLook(int look);
// The colours of the progress bars in look: a bar dark enough for the white XOR text over it
// and a light background under which the XOR text still reads (contrast of 4.5:1 or more on
// both parts).
QPalette ProgressBarPaletteForLook(int look);
// Sets the application's style and palette for look.
void ApplyVisualStyle(int look);

// The stored style, 215 when none is stored.
int StoredApplicationLook();
void StoreApplicationLook(int look);
