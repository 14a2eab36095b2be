#include "Startup.h"

#include "FormAbout.h"
#include "MainForm.h"
#include "Resources.h"
#include "ui/Application.h"

#include <QApplication>

namespace morlex {

void CreateForms()
{
    ui::SetTitle("Morlex");
    QApplication::setApplicationName("Morlex");
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
