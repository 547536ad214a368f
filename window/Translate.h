// Every text the window shows passes through here, so a translation can take its place.
//
// Literals are marked where they are written, with QT_TRANSLATE_NOOP("Sheetfray", "..."), so
// lupdate finds them, and translated where they are shown. (tr() is not used: lupdate does
// not follow the nested namespace of the window's classes.) The English text is the key: without a
// translation loaded, every text stays byte for byte as written.
#pragma once

#include "window/Text.h"

#include <QCoreApplication>
#include <QString>

#include <string>
#include <string_view>

namespace sheetfray::window {

// The translation context of texts outside the window's QObject classes.
inline constexpr const char* TextContext = "Sheetfray";

// The text in the user's language; english must be a marked literal (NUL-terminated).
[[nodiscard]] inline QString translated(std::string_view english)
{
    return QCoreApplication::translate(TextContext, english.data());
}

// The same, as UTF-8 for the boxes of platform::Dialogs.
[[nodiscard]] inline std::string translatedText(std::string_view english)
{
    return toStdString(translated(english));
}

} // namespace sheetfray::window
