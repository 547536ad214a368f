// The user's language: the window's own texts and Qt's dialog texts, loaded at start-up.
#pragma once

#include <QLocale>

namespace sheetfray::window {

// Installs the translations for the locale, where there are any: the program's own (built
// into it) and Qt's, from the system's Qt translations folder. English needs none, so its
// texts stay exactly as written. The translators live as long as the application.
void installTranslations(const QLocale& locale);

} // namespace sheetfray::window
