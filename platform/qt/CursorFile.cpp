#include "platform/qt/CursorFile.h"

#include "support/Error.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

namespace sheetfray::platform::qt {

namespace {

// ICONDIR is 6 bytes (reserved, type 2 for a cursor, count); the first ICONDIRENTRY follows,
// and for a cursor its bytes 4 to 7 hold the hotspot's x and y, little-endian.
constexpr qsizetype HotspotOffset = 10;

int readUint16(const QByteArray& bytes, qsizetype offset)
{
    return static_cast<unsigned char>(bytes[offset])
        | (static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

QImage readImage(const QByteArray& bytes, const char* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    return reader.read();
}

} // namespace

QCursor loadCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error("cannot read the cursor \"" + path.toStdString()
                    + "\": " + file.errorString().toStdString());
    }
    const QByteArray bytes = file.readAll();
    const QImage image = readImage(bytes, "cur");
    if (image.isNull() || bytes.size() < HotspotOffset + 4) {
        throw Error("cannot read the cursor \"" + path.toStdString()
                    + "\": it is not a cursor picture");
    }
    const int x = readUint16(bytes, HotspotOffset);
    const int y = readUint16(bytes, HotspotOffset + 2);
    return QCursor(QPixmap::fromImage(image), x, y);
}

std::optional<QCursor> loadIconCursor(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QImage image = readImage(file.readAll(), "ico");
    if (image.isNull()) {
        return std::nullopt;
    }
    return QCursor(QPixmap::fromImage(image));
}

} // namespace sheetfray::platform::qt
