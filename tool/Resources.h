// Pictures and fonts shared by the tool's windows.
#pragma once

#include <QFont>
#include <QIcon>

namespace morlex {

/// Makes the compiled-in pictures available (idempotent).
void InitResources();
/// The program's 32 x 32 icon.
QIcon ProgramIcon32();
/// Tree image 0 (folder), 1 (blank page) or 2 (page with a red tick).
QIcon SectionImage(int Index);
/// The 24 x 24 picture of the language file menu's tool button.
QIcon LanguageFileImage();
/// MS Sans Serif, 11 pixels high, with its usual stand-ins on this system.
QFont FormFont();

} // namespace morlex
