#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

namespace trilo::gui {

// The program's own drawing: a DIP chip sitting in a blue ZIF socket with its lever.

// The About window's picture, 63 x 60 pixels.
QImage aboutPicture();
// The drawing at one square icon size (32 and 16 are the ones the windows use).
QImage iconImage(int size);
// The window icon of both windows, 32 x 32 and 16 x 16.
QIcon programIcon();

inline constexpr QSize kAboutPictureSize{63, 60};

}  // namespace trilo::gui
