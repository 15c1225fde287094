// The pictures on the window's buttons, drawn by the program itself. Each is drawn at its size
// in pixels at 96 dpi times `scale` (the screen's logical DPI / 96), on a transparent
// background.
#pragma once

#include <QPixmap>
#include <QSize>

namespace sorami {

// Sizes at 96 dpi.
inline constexpr QSize kReadPictureSize{48, 48};
inline constexpr QSize kClosePictureSize{20, 20};
inline constexpr QSize kVersionPictureSize{50, 14};

// A grey arrow with a black outline, pointing down: the read button.
QPixmap DrawReadPicture(double scale);
// A door standing open with an arrow leaving through it: the close button.
QPixmap DrawClosePicture(double scale);
// The word "Version" in dark grey letters: the version button.
QPixmap DrawVersionPicture(double scale);

// A size at 96 dpi scaled, rounded to whole pixels.
QSize ScaledSize(QSize size, double scale);

}  // namespace sorami
