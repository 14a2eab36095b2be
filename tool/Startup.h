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

/// Sets the application title and version information and creates the
/// main window, then the about box.
void CreateForms();
/// Destroys the about box and the main window.
void DestroyForms();

} // namespace morlex
