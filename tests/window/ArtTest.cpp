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

    void cursorFileKeepsPictureAndHotspot()
    {
        TempDir dir;
        const QImage hand = art::handPointerImage();
        const QByteArray bytes = art::iconFileBytes(hand, art::handPointerHotspot());
        QCOMPARE(bytes.at(2), '\2'); // a cursor, not an icon
        const QCursor cursor = platform::qt::loadCursorFile(saved(dir, "HAND-M.CUR", bytes));
        QCOMPARE(cursor.hotSpot(), art::handPointerHotspot());
        QCOMPARE(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32), hand);

        const QString drag = saved(dir, "drag.ico", art::iconFileBytes(art::dragImage()));
        const std::optional<QCursor> dragged = platform::qt::loadIconCursor(drag);
        QVERIFY(dragged.has_value());
        QCOMPARE(dragged->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                 art::dragImage());
    }

    void iconFileHoldsEveryPixelAtEachSize()
    {
        // 256 is written as 0 in the directory; an odd width pads the mask's rows.
        for (int size : {16, 33, 256}) {
            const QImage icon = art::programIconImage(size);
            QCOMPARE(readIcon(art::iconFileBytes(icon)), icon);
        }
        QCOMPARE(art::programIcon().availableSizes().size(), 7);
    }
};

} // namespace sheetfray::testing

QTEST_MAIN(sheetfray::testing::ArtTest)
#include "ArtTest.moc"
