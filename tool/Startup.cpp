#include "Startup.h"

#include "FormAbout.h"
#include "MainForm.h"
#include "Resources.h"
#include "ui/Application.h"

#include <QApplication>

namespace morlex {

const TVersionInfo& VersionInfo()
{
    static const TVersionInfo info{MORLEX_FILE_VERSION, MORLEX_PRODUCT_VERSION, MORLEX_DESCRIPTION,
                                   MORLEX_PRODUCT_NAME, MORLEX_PRODUCT_NAME};
    return info;
}

void SetVersionInfo(QCoreApplication* Application)
{
    const TVersionInfo& info = VersionInfo();
    QCoreApplication::setApplicationName(QString::fromLatin1(info.ProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(info.FileVersion));
    Application->setProperty("FileVersion", QString::fromLatin1(info.FileVersion));
    Application->setProperty("ProductVersion", QString::fromLatin1(info.ProductVersion));
    Application->setProperty("FileDescription", QString::fromLatin1(info.FileDescription));
    Application->setProperty("ProductName", QString::fromLatin1(info.ProductName));
    Application->setProperty("InternalName", QString::fromLatin1(info.InternalName));
}

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
