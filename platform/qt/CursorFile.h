// Loads a Windows cursor file (.cur) as a Qt cursor with the file's own hotspot.
#pragma once

#include <QCursor>
#include <QString>

namespace sheetfray::platform::qt {

// Qt reads the picture of a .cur file but not its hotspot, so the hotspot is taken from the
// first directory entry. Throws sheetfray::Error naming the file when it cannot be read or
// is not a cursor picture.
[[nodiscard]] QCursor loadCursorFile(const QString& path);

} // namespace sheetfray::platform::qt
