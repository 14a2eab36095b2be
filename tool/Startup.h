// The tool's start-up and end, apart from the message loop.
#pragma once

#include "ui/Application.h"

namespace morlex {

/// Creates a window and stores it in Reference before its creation handler
/// runs; an error escaping that handler is reported and creation goes on.
template <class TForm>
void CreateForm(TForm*& Reference)
{
    Reference = new TForm();
    if constexpr (requires(TForm* form) { form->FormCreate(form); }) {
        TForm* form = Reference;
        ui::Protect([form] { form->FormCreate(form); });
    }
}

/// The program's version information, as its version resource gives it.
struct TVersionInfo {
    const char* FileVersion;
    const char* ProductVersion;
    const char* FileDescription;
    const char* ProductName;
    const char* InternalName;
};

/// Morlex's version information: file version 2.0.0.111, product version
/// 2.0.0.0, "Tools for Vantrel", product and internal name "Morlex".
const TVersionInfo& VersionInfo();

/// Gives the application object the program's name and version
/// information: its application version is the file version, and each
/// field is also a property of the same name.
void SetVersionInfo(QCoreApplication* Application);

/// Sets the application title and version information and creates the
/// main window, then the about box.
void CreateForms();
/// Destroys the about box and the main window.
void DestroyForms();

} // namespace morlex
