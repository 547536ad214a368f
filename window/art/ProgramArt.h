// The program's pictures, drawn in code: the application icon, the hand pointer (HAND-M.CUR)
// and the picture shown while an entry is dragged (drag.ico). The window takes its icon from
// here; the art tool writes the files that lie beside the program and in the icon theme.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPoint>

#include <optional>

namespace sheetfray::window::art {

// A sheet whose rows are cut into strips, on a transparent square of size by size pixels.
[[nodiscard]] QImage programIconImage(int size);

// The icon in the sizes a desktop asks for, from 16 to 256 pixels.
[[nodiscard]] QIcon programIcon();

// A white pointing hand with a black outline, 32 by 32 pixels.
[[nodiscard]] QImage handPointerImage();
// Where the hand points: the tip of its finger.
[[nodiscard]] QPoint handPointerHotspot();

// A list entry between an up and a down arrow, 32 by 32 pixels.
[[nodiscard]] QImage dragImage();

// The bytes of a Windows icon file holding the picture (32-bit colour with its mask); given a
// hotspot, a cursor file instead. The picture is at most 256 pixels wide and high.
[[nodiscard]] QByteArray iconFileBytes(const QImage& picture,
                                       std::optional<QPoint> hotspot = std::nullopt);

} // namespace sheetfray::window::art
