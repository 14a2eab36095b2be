#include "Startup.h"

#include "FormAbout.h"
#include "MainForm.h"
#include "Resources.h"
#include "ui/Application.h"

#include <QApplication>

#include <utility>

namespace morlex {

namespace {

// The program's version information, as its version resource gives it:
// on the application object as its name and version, and field by field as
// properties of the same names.
void SetVersionInfo(QCoreApplication* Application)
{
    QCoreApplication::setApplicationName(QStringLiteral(MORLEX_PRODUCT_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(MORLEX_FILE_VERSION));
    const std::pair<const char*, const char*> fields[] = {
        {"FileVersion", MORLEX_FILE_VERSION}, {"ProductVersion", MORLEX_PRODUCT_VERSION},
        {"FileDescription", MORLEX_DESCRIPTION}, {"ProductName", MORLEX_PRODUCT_NAME},
        {"InternalName", MORLEX_PRODUCT_NAME},
    };
    for (const auto& [name, value] : fields) Application->setProperty(name, QString::fromLatin1(value));
}

} // namespace

void CreateForms()
{
    ui::SetTitle("Morlex");
    if (QCoreApplication* application = QCoreApplication::instance()) SetVersionInfo(application);
    QApplication::setWindowIcon(ProgramIcon32());
    CreateForm(frmMain);
    ui::SetMainWindow(frmMain);
    CreateForm(frmAbout);
}

void DestroyForms()
{
    delete frmAbout;
    frmAbout = nullptr;
    delete frmMain;
    frmMain = nullptr;
}

} // namespace morlex
