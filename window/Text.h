// The one place where the engine's UTF-8 text meets QString.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace sheetfray::window {

[[nodiscard]] inline QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

[[nodiscard]] inline std::string toStdString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace sheetfray::window
