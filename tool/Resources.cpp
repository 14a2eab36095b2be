#include "Resources.h"

#include <QStringList>

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void InitMorlexImages()
{
    Q_INIT_RESOURCE(images);
}

namespace morlex {

void InitResources()
{
    static const bool done = [] {
        InitMorlexImages();
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arimo", "Arial", "Helvetica", "DejaVu Sans"});
        return true;
    }();
    (void)done;
}

QIcon ProgramIcon32()
{
    InitResources();
    return QIcon(":/images/Morlex.png");
}

QIcon SectionImage(int Index)
{
    InitResources();
    static const char* const files[] = {":/images/folder.png", ":/images/page.png", ":/images/page_tick.png"};
    if (Index < 0 || Index > 2) return {};
    return QIcon(files[Index]);
}

QFont FormFont()
{
    InitResources();
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    return font;
}

} // namespace morlex
