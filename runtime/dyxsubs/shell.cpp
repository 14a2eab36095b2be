#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "ui/Screen.h"
#include "win32/shell.h"

#include <QWidget>

#include <cmath>

namespace vantrel {
namespace {

int32_t CentredOrigin(int32_t screenSize, int32_t formSize)
{
    return static_cast<int32_t>(std::trunc((static_cast<double>(screenSize) - formSize) / 2.0));
}

} // namespace

void MoveCenter(QWidget* Form)
{
    try {
        if (!Form) return;
        const int32_t left = CentredOrigin(ui::ScreenWidth(), Form->frameGeometry().width());
        Form->move(left, Form->pos().y());
        const int32_t top = CentredOrigin(ui::ScreenHeight(), Form->frameGeometry().height());
        Form->move(Form->pos().x(), top);
    } catch (...) {
        // Placing a form is a courtesy: a failure leaves it where it is.
    }
}

int32_t MsgBox(const std::string& Msg, const std::string& Caption, uint32_t Flags)
{
    const std::string caption = Caption.empty() ? ui::Title() : Caption;
    return win32::MessageBoxA(ui::ApplicationOwner(), Msg.c_str(), caption.c_str(), Flags);
}

void DyxShellExecute(const std::string& Target, bool RaiseOnError)
{
    try {
        win32::ShellExecuteA(0, nullptr, Target.c_str(), nullptr, nullptr, win32::SW_SHOWNORMAL);
    } catch (const std::exception& error) {
        if (RaiseOnError) throw Exception(error.what());
    } catch (...) {
        if (RaiseOnError) throw Exception("Unknown error");
    }
}

} // namespace vantrel
