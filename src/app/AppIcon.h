#pragma once

#include <QIcon>
#include <QPixmap>

namespace zx {

// The tool's icon: a yellow square with cut-off corners and a black rim, carrying the black
// letters V and I separated by a diagonal slash. Drawn at any size from one description.
QPixmap AppIconPixmap(int size);
QIcon AppIcon();

} // namespace zx
