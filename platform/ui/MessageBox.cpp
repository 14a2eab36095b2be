#include "ui/MessageBox.h"

#include "ui/AnswererSlot.h"
#include "ui/Application.h"
#include "ui/DisplayProbe.h"
#include "ui/QtText.h"
#include "ui/WindowTitle.h"
#include "win32/errors.h"

#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <map>

namespace ui {
namespace {

detail::AnswererSlot<MessageBoxAnswerer> gAnswerer;

MessageBoxAnswerer CurrentAnswerer() { return gAnswerer.Get(); }

const char* ButtonText(int id)
{
    switch (id) {
    case win32::IDOK: return "OK";
    case win32::IDCANCEL: return "Cancel";
    case win32::IDABORT: return "&Abort";
    case win32::IDRETRY: return "&Retry";
    case win32::IDIGNORE: return "&Ignore";
    case win32::IDYES: return "&Yes";
    case win32::IDNO: return "&No";
    default: return "";
    }
}

QMessageBox::Icon IconOf(win32::UINT flags)
{
    switch (flags & win32::MB_ICONMASK) {
    case win32::MB_ICONHAND: return QMessageBox::Critical;
    case win32::MB_ICONQUESTION: return QMessageBox::Question;
    case win32::MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case win32::MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

int ShowBox(const MessageBoxRequest& request)
{
    const std::vector<int> ids = ButtonsOf(request.flags);
    QMessageBox box(WidgetOf(request.owner));
    // The system box shows its text as written, never as markup, and breaks
    // the line at a lone CR as well, which the toolkit would not.
    box.setTextFormat(Qt::PlainText);
    QString text = ToQString(request.text);
    box.setText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n'));
    box.setWindowTitle(LiteralWindowTitle(request.caption));
    box.setIcon(IconOf(request.flags));

    // One role for all keeps the system's order under every button layout,
    // and gives QMessageBox no role from which to guess an escape button:
    // Escape and the close button then do nothing unless one is set here.
    std::map<QAbstractButton*, int> idOf;
    QPushButton* escape = nullptr;
    for (int id : ids) {
        QPushButton* button = box.addButton(QString::fromLatin1(ButtonText(id)), QMessageBox::ActionRole);
        idOf[button] = id;
        if (id == DefaultButtonOf(request.flags)) box.setDefaultButton(button);
        if (id == EscapeResultOf(request.flags)) escape = button;
    }
    if (escape) {
        box.setEscapeButton(escape);
    } else {
        box.setWindowFlags((box.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                           ~Qt::WindowCloseButtonHint);
    }
    box.exec();
    auto it = idOf.find(box.clickedButton());
    return it != idOf.end() ? it->second : EscapeResultOf(request.flags);
}

} // namespace

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    gAnswerer.Set(std::move(answerer));
}

std::vector<int> ButtonsOf(win32::UINT flags)
{
    using namespace win32;
    switch (flags & MB_TYPEMASK) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {};
    }
}

int DefaultButtonOf(win32::UINT flags)
{
    const std::vector<int> ids = ButtonsOf(flags);
    if (ids.empty()) return 0;
    const size_t index = (flags & win32::MB_DEFMASK) >> 8;
    return index < ids.size() ? ids[index] : ids.front();
}

int EscapeResultOf(win32::UINT flags)
{
    const std::vector<int> ids = ButtonsOf(flags);
    for (int id : ids)
        if (id == win32::IDCANCEL) return id;
    if (ids.size() == 1) return ids.front();
    return 0;
}

} // namespace ui

namespace win32 {

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags)
{
    if (ui::ButtonsOf(flags).empty()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    // A display that went away would take the host down with the box.
    if (!ui::detail::ApplicationDisplayAnswers()) return 0;
    ui::MessageBoxRequest request{owner, text ? text : "", caption ? caption : "Error", flags};
    if (auto answerer = ui::CurrentAnswerer()) return answerer(request);
    QApplication* app = ui::EnsureApplication();
    if (!app || QThread::currentThread() != app->thread()) return 0;
    return ui::ShowBox(request);
}

} // namespace win32
