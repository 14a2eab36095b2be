#include "ui/MessageBox.h"

#include "ui/Application.h"

#include <QMessageBox>
#include <QPushButton>

#include <mutex>

namespace ui {
namespace {

std::mutex gAnswererMutex;
MessageBoxAnswerer gAnswerer;

MessageBoxAnswerer CurrentAnswerer()
{
    std::lock_guard lock(gAnswererMutex);
    return gAnswerer;
}

} // namespace

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    std::lock_guard lock(gAnswererMutex);
    gAnswerer = std::move(answerer);
}

} // namespace ui

namespace win32 {

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags)
{
    ui::MessageBoxRequest request{owner, text ? text : "", caption ? caption : "Error", flags};
    if (auto answerer = ui::CurrentAnswerer()) return answerer(request);
    if (!ui::EnsureApplication()) return 0;

    QMessageBox box;
    box.setText(QString::fromLocal8Bit(request.text.c_str()));
    box.setWindowTitle(QString::fromLocal8Bit(request.caption.c_str()));
    switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    box.setDefaultButton(ok);
    box.exec();
    return IDOK;
}

} // namespace win32
