// Window titles that show exactly the caller's caption.
#pragma once

#include <QString>

#include <string>

namespace ui {

/// The title text to give a window so that caption shows as written: Qt
/// reads "[*]" in a title as the place of its modified-marker and drops it,
/// and shows a doubled "[*][*]" as one "[*]".
inline QString LiteralWindowTitle(const std::string& caption)
{
    return QString::fromLocal8Bit(caption.c_str()).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace ui
