// Loads Windows cursor (.cur) and icon (.ico) files as Qt cursors.
#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace sheetfray::platform::qt {

// Qt reads the picture of a .cur file but not its hotspot, so the hotspot is taken from the
// first directory entry. Throws sheetfray::Error naming the file when it cannot be read or
// is not a cursor picture.
[[nodiscard]] QCursor loadCursorFile(const QString& path);

// An icon file as a pointer whose hotspot is the picture's centre (an icon has none of its
// own); nothing when the file cannot be read or holds no icon picture.
[[nodiscard]] std::optional<QCursor> loadIconCursor(const QString& path);

} // namespace sheetfray::platform::qt
