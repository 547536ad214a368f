// Writes the program's pictures into a folder: HAND-M.CUR and drag.ico, which the window loads
// from its program folder, and the application icon as an icon theme tree
// (icons/hicolor/<size>x<size>/apps/sheetfray.png).
#include "window/art/ProgramArt.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

namespace {

using namespace sheetfray::window;

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        std::fprintf(stderr,
                     "sheetfray-art: cannot write \"%s\": %s\n",
                     qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Usage: sheetfray-art FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!write(folder.filePath(QStringLiteral("HAND-M.CUR")),
               art::iconFileBytes(art::handPointerImage(), art::handPointerHotspot()))
        || !write(folder.filePath(QStringLiteral("drag.ico")),
                  art::iconFileBytes(art::dragImage()))) {
        return 1;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString apps = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        const QString path = folder.filePath(apps + QStringLiteral("/sheetfray.png"));
        if (!folder.mkpath(apps) || !art::programIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "sheetfray-art: cannot write \"%s\"\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
