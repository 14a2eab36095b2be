#include "Resources.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void InitMorlexImages()
{
    Q_INIT_RESOURCE(images);
}

namespace morlex {
namespace {

// Decoded pictures, shared by every window of the run. Owned by the
// application object, so that they go before the toolkit does.
class TPictureCache : public QObject {
public:
    explicit TPictureCache(QObject* owner) : QObject(owner)
    {
        Program = QIcon(":/images/Morlex.png");
        for (int i = 0; i < 3; ++i) Sections[i] = QIcon(kSectionFiles[i]);
        LanguageFile = QIcon(":/images/langfile.png");
    }

    static constexpr const char* kSectionFiles[3] = {":/images/folder.png", ":/images/page.png",
                                                     ":/images/page_tick.png"};
    QIcon Program;
    QIcon Sections[3];
    QIcon LanguageFile;
};

const TPictureCache& Pictures()
{
    InitResources();
    static QPointer<TPictureCache> cache;
    if (!cache) cache = new TPictureCache(QCoreApplication::instance());
    return *cache;
}

} // namespace

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
    return Pictures().Program;
}

QIcon SectionImage(int Index)
{
    if (Index < 0 || Index > 2) return {};
    return Pictures().Sections[Index];
}

QIcon LanguageFileImage()
{
    return Pictures().LanguageFile;
}

QFont FormFont()
{
    InitResources();
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    return font;
}

} // namespace morlex
