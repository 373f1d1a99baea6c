#pragma once

#include <QFont>

namespace zx {

// The look the window was laid out for, whatever the desktop's theme: the Fusion style with
// its light palette (black text on the button face, white value fields), and the layout's font.
// A dark desktop palette would leave black captions on dark grey and hide the SW1 numbers.

// Before the application object exists: the desktop's palette and fonts are not taken up.
void PrepareHouseLook();
// After it exists: style, palette and font for every window of the program.
void ApplyHouseLook();

// "MS Sans Serif" at 11 pixels: Wine's free font of that name where it is installed and the
// screen is not scaled (its metrics are the layout's), else a metric-similar sans-serif.
QFont WindowFont();

} // namespace zx
