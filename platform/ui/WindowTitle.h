// Window titles that show exactly the caller's caption.
#pragma once

#include "ui/QtText.h"

#include <QString>

#include <string>

namespace ui {

/// The title text to give a window so that caption shows as written: Qt
/// reads "[*]" in a title as the place of its modified-marker and drops it,
/// and shows a doubled "[*][*]" as one "[*]".
inline QString LiteralWindowTitle(const std::string& caption)
{
    return ToQString(caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace ui
