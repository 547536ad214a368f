#include "window/art/ProgramArt.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cstdint>

namespace sheetfray::window::art {

namespace {

constexpr QColor SheetGreen(0x1d, 0x6f, 0x42);
constexpr int PointerSize = 32;

QImage transparentImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath roundedBox(qreal left, qreal top, qreal width, qreal height, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(left, top, width, height), radius, radius);
    return path;
}

// Little-endian writers for the icon file's headers.
void putUint16(QByteArray& bytes, int value)
{
    bytes.append(static_cast<char>(value & 0xff));
    bytes.append(static_cast<char>((value >> 8) & 0xff));
}

void putUint32(QByteArray& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.append(static_cast<char>((value >> shift) & 0xff));
    }
}

} // namespace

QImage programIconImage(int size)
{
    QImage image = transparentImage(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32-unit square; lines on half units fall on whole pixels at 32.
    painter.scale(size / 32.0, size / 32.0);
    QPen pen(SheetGreen, 1);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(3.5, 3.5, 25, 25));
    painter.fillRect(QRectF(4, 4, 24, 6), SheetGreen);
    for (qreal y = 13.5; y < 28; y += 5) {
        painter.drawLine(QPointF(4, y), QPointF(28, y));
    }
    painter.drawLine(QPointF(12.5, 10), QPointF(12.5, 28));
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    }
    return icon;
}

QImage handPointerImage()
{
    // The raised finger, three folded fingers, the palm, the thumb and the wrist, as one
    // outline.
    QPainterPath hand = roundedBox(9, 1, 5, 17, 2.5);
    hand = hand.united(roundedBox(13, 10, 4, 8, 2));
    hand = hand.united(roundedBox(16, 11, 4, 8, 2));
    hand = hand.united(roundedBox(19, 12, 4, 8, 2));
    hand = hand.united(roundedBox(9, 15, 14, 11, 3));
    QPainterPath thumb;
    thumb.moveTo(10, 18);
    thumb.lineTo(6, 14.5);
    thumb.cubicTo(4, 13, 2, 15, 3.5, 17);
    thumb.lineTo(10, 25);
    thumb.closeSubpath();
    hand = hand.united(thumb);
    QPainterPath wrist;
    wrist.addRect(QRectF(11, 24, 11, 6));
    hand = hand.united(wrist).simplified();

    QImage image = transparentImage(PointerSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0.5, 0.5);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPath(hand);
    // Creases between the folded fingers.
    painter.drawLine(QPointF(16, 15), QPointF(16, 18));
    painter.drawLine(QPointF(19, 15), QPointF(19, 19));
    return image;
}

QPoint handPointerHotspot()
{
    return {11, 1};
}

QImage dragImage()
{
    QImage image = transparentImage(PointerSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    // The entry being moved.
    painter.setBrush(QColor(0x31, 0x6a, 0xc5));
    painter.drawRect(QRectF(4.5, 12.5, 23, 7));
    // Arrows up and down.
    painter.setBrush(Qt::white);
    const std::array<QPointF, 3> up{QPointF(16, 1.5), QPointF(10.5, 9.5), QPointF(21.5, 9.5)};
    const std::array<QPointF, 3> down{QPointF(16, 30.5), QPointF(10.5, 22.5), QPointF(21.5, 22.5)};
    painter.drawPolygon(up.data(), static_cast<int>(up.size()));
    painter.drawPolygon(down.data(), static_cast<int>(down.size()));
    return image;
}

QByteArray iconFileBytes(const QImage& picture, std::optional<QPoint> hotspot)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int maskRowBytes = (width + 31) / 32 * 4;
    const auto colourBytes = static_cast<std::uint32_t>(width * height * 4);
    const auto maskBytes = static_cast<std::uint32_t>(maskRowBytes * height);
    constexpr std::uint32_t InfoHeaderBytes = 40;
    constexpr std::uint32_t ImageOffset = 6 + 16;

    QByteArray bytes;
    // ICONDIR: reserved, type (1 icon, 2 cursor), one picture.
    putUint16(bytes, 0);
    putUint16(bytes, hotspot ? 2 : 1);
    putUint16(bytes, 1);
    // ICONDIRENTRY: 256 is written as 0; a cursor keeps its hotspot where an icon keeps its
    // planes and bit count.
    bytes.append(static_cast<char>(width >= 256 ? 0 : width));
    bytes.append(static_cast<char>(height >= 256 ? 0 : height));
    bytes.append('\0'); // no palette
    bytes.append('\0');
    putUint16(bytes, hotspot ? hotspot->x() : 1);
    putUint16(bytes, hotspot ? hotspot->y() : 32);
    putUint32(bytes, InfoHeaderBytes + colourBytes + maskBytes);
    putUint32(bytes, ImageOffset);
    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    putUint32(bytes, InfoHeaderBytes);
    putUint32(bytes, static_cast<std::uint32_t>(width));
    putUint32(bytes, static_cast<std::uint32_t>(height * 2));
    putUint16(bytes, 1);
    putUint16(bytes, 32);
    putUint32(bytes, 0); // uncompressed
    putUint32(bytes, colourBytes + maskBytes);
    for (int i = 0; i < 4; ++i) {
        putUint32(bytes, 0);
    }
    // Rows run bottom-up: the colours as blue, green, red, alpha, then the mask, where a set
    // bit lets the background through.
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            bytes.append(static_cast<char>(qBlue(row[x])));
            bytes.append(static_cast<char>(qGreen(row[x])));
            bytes.append(static_cast<char>(qRed(row[x])));
            bytes.append(static_cast<char>(qAlpha(row[x])));
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray mask(maskRowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            if (qAlpha(row[x]) == 0) {
                mask[x / 8] = static_cast<char>(mask[x / 8] | (0x80 >> (x % 8)));
            }
        }
        bytes.append(mask);
    }
    return bytes;
}

} // namespace sheetfray::window::art
