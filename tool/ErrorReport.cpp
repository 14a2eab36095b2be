#include "ErrorReport.h"

#include "ui/Application.h"
#include "ui/MessageBox.h"

#include <exception>
#include <string>

namespace morlex {
namespace {

void ShowError(std::string text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    const std::string caption = ui::Title();
    win32::MessageBoxA(0, text.c_str(), caption.c_str(), win32::MB_OK | win32::MB_ICONERROR);
}

} // namespace

void RunHandler(const std::function<void()>& Handler)
{
    try {
        Handler();
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown error");
    }
}

} // namespace morlex
