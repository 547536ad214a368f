#include "window/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace sheetfray::window {

namespace {

// Loads one translation and installs it; a missing file is no error: the texts stay English.
void install(const QLocale& locale, const QString& name, const QString& folder)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, name, QStringLiteral("_"), folder)) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace

void installTranslations(const QLocale& locale)
{
    // Qt's own texts: the buttons of boxes, the file and folder dialogs.
    install(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    install(locale, QStringLiteral("sheetfray"), QStringLiteral(":/translations"));
}

} // namespace sheetfray::window
