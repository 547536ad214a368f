// The pictures the program draws for itself, read back the way the window reads them.
#include "platform/qt/CursorFile.h"
#include "tests/fakes/TempDir.h"
#include "window/art/ProgramArt.h"

#include <QBuffer>
#include <QCursor>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QTest>

namespace sheetfray::testing {

namespace {

using namespace window;

QString saved(const TempDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = QString::fromStdString((dir.path() / name).string());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return {};
    }
    return path;
}

QImage readIcon(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "ico").read().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class ArtTest : public QObject
{
    Q_OBJECT

private slots:

    void iconAndCursorFilesHaveTheLayoutOfTheFormat()
    {
        // Two by two: opaque red, transparent; opaque blue, half-transparent white.
        QImage image(2, 2, QImage::Format_ARGB32);
        image.setPixel(0, 0, 0xFFFF0000);
        image.setPixel(1, 0, 0x00000000);
        image.setPixel(0, 1, 0xFF0000FF);
        image.setPixel(1, 1, 0x80FFFFFF);
        const QByteArray header = QByteArray::fromHex("28000000"
                                                      "02000000"
                                                      "04000000"
                                                      "0100"
                                                      "2000"
                                                      "00000000"
                                                      "18000000")
            + QByteArray(16, '\0');
        // Rows bottom-up as blue, green, red, alpha; then the mask rows, a set bit where the
        // pixel is transparent, each padded to four bytes.
        const QByteArray pixels = QByteArray::fromHex("FF0000FF"
                                                      "FFFFFF80"
                                                      "0000FFFF"
                                                      "00000000"
                                                      "00000000"
                                                      "40000000");
        QCOMPARE(art::iconFileBytes(image),
                 QByteArray::fromHex("0000"
                                     "0100"
                                     "0100"
                                     "02020000"
                                     "0100"
                                     "2000"
                                     "40000000"
                                     "16000000")
                     + header + pixels);
        QCOMPARE(art::iconFileBytes(image, QPoint(1, 0)),
                 QByteArray::fromHex("0000"
                                     "0200"
                                     "0100"
                                     "02020000"
                                     "0100"
                                     "0000"
                                     "40000000"
                                     "16000000")
                     + header + pixels);
    }

    void cursorFileGivesPictureAndHotspot()
    {
        // A cursor of one opaque green pixel whose hotspot is (3, 5), written out by hand.
        const QByteArray bytes = QByteArray::fromHex("0000"
                                                     "0200"
                                                     "0100"
                                                     "01010000"
                                                     "0300"
                                                     "0500"
                                                     "30000000"
                                                     "16000000"
                                                     "28000000"
                                                     "01000000"
                                                     "02000000"
                                                     "0100"
                                                     "2000"
                                                     "00000000"
                                                     "08000000")
            + QByteArray(16, '\0')
            + QByteArray::fromHex("00FF00FF"
                                  "00000000");
        TempDir dir;
        const QCursor cursor = platform::qt::loadCursorFile(saved(dir, "HAND-M.CUR", bytes));
        QCOMPARE(cursor.hotSpot(), QPoint(3, 5));
        QCOMPARE(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32).pixel(0, 0),
                 0xFF00FF00u);
    }

    void iconFileHoldsEveryPixelAtEachSize()
    {
        // Read by Qt's own reader: 256 is written as 0 in the directory; an odd width pads
        // the mask's rows.
        for (int size : {16, 33, 256}) {
            const QImage icon = art::programIconImage(size);
            QCOMPARE(readIcon(art::iconFileBytes(icon)), icon);
        }
    }
};

} // namespace sheetfray::testing

QTEST_MAIN(sheetfray::testing::ArtTest)
#include "ArtTest.moc"
