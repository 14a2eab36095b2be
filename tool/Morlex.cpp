// Morlex: the language editor of Vantrel's message catalog.
#include "MainForm.h"
#include "Startup.h"

#include "ui/Application.h"

namespace morlex {

/// Runs the program: the units' start-up has already run as static
/// initialisation (the catalog's built-in tables, MyLang) and their
/// finalisation runs after this returns.
int ProgramMain(int argc, char** argv)
{
    ui::Application application(argc, argv);
    CreateForms();
    if (frmMain) ui::Run();
    DestroyForms();
    return 0;
}

} // namespace morlex

int main(int argc, char** argv)
{
    return morlex::ProgramMain(argc, argv);
}
