#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace sheetfray::platform::qt {

void QtEventLoop::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::endProgram()
{
    std::fflush(nullptr);
    // Not std::exit: its static destructors would tear Qt down under a live QApplication.
    std::_Exit(0);
}

} // namespace sheetfray::platform::qt
