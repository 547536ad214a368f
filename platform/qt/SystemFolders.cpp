#include "platform/qt/SystemFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace sheetfray::platform::qt {

std::string programFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()).toStdString();
}

std::string desktopFolder()
{
    // Qt names $HOME/Desktop even where no such folder exists; a default output folder that
    // does not exist would refuse every run, so the home folder stands in.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) {
        return QDir::cleanPath(desktop).toStdString();
    }
    return QDir::cleanPath(QDir::homePath()).toStdString();
}

} // namespace sheetfray::platform::qt
