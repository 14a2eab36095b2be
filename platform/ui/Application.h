// The application object of the window toolkit layer: the title, the main
// window, the message loop and the error report for event handlers.
#pragma once

#include "win32/types.h"

#include <QApplication>
#include <QObject>

#include <concepts>
#include <exception>
#include <functional>
#include <string>
#include <utility>

class QWidget;

namespace ui {

/// The application object. It reports an exception that escapes an event
/// handler (a virtual override such as closeEvent or keyPressEvent) with
/// ShowException and goes on with the next event. A program makes one in its
/// entry routine; a host that is not a Qt program gets one from
/// EnsureApplication.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

/// The application's title: the caption of every message box given none and
/// of the error report. Until a title is set, the Qt application's display
/// name (by default its application name), so a Qt host's boxes bear its own;
/// before there is an application object, the program file's name, which is
/// the name of the one EnsureApplication makes.
void SetTitle(const std::string& title);
std::string Title();

/// The running QApplication. When there is none, the call comes from the
/// process's main thread and a display answers (see
/// detail::ReachablePlatform), a ui::Application on that display is created
/// and kept for the rest of the process; the host's C locale and environment
/// are left as they were before it. nullptr when no application object is
/// possible: never an abort for a display that can't be reached.
QApplication* EnsureApplication();

/// The main window: the window whose closing ends Run. SetMainWindow keeps
/// the first window given and ignores later calls while it lives, as the
/// first form created becomes the main form.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

/// The owner of the application's own boxes (MsgBox, the error report): the
/// active modal window, else the active window, else the main window; 0 when
/// there is none.
win32::HWND ApplicationOwner();

/// The message loop: shows the main window (if not shown yet) and dispatches
/// events until it has closed. Returns the loop's exit code.
int Run();

/// Dispatches the events that are waiting, then returns.
void ProcessMessages();

/// The error report's text: message with a full stop added when the code of
/// its last character (as an unsigned byte) is greater than '.'s (46).
/// "Disk full" -> "Disk full."; "Why?" -> "Why?."; "Done." and "Oops!" stay.
std::string ErrorReportText(const std::string& message);

/// The error report: a message box with ErrorReportText(error.what()), the
/// title as caption, the error icon and OK, owned by the active window.
/// Never throws.
void ShowException(const std::exception& error);

/// Reports the exception being handled (call inside a catch block): a
/// std::exception as ShowException does, anything else as "Unknown error.".
void ShowCurrentException() noexcept;

/// Runs work now and reports an exception that escapes it; the caller goes
/// on. True when work ended normally. For code that runs outside a signal,
/// such as the steps of a creation handler.
template <class Work>
bool Protect(Work&& work) noexcept
{
    try {
        std::invoke(std::forward<Work>(work));
        return true;
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

/// Wraps an event handler so that an exception escaping it is reported with
/// ShowException and the program goes on. The wrapper takes as many of the
/// signal's arguments as the handler accepts, so Qt's argument matching
/// works as with the bare handler:
///     connect(button, &QPushButton::clicked, this, ui::Guard([this] { cmdOKClick(); }));
/// Prefer ui::Connect, which does the same in one call.
template <class Handler>
auto Guard(Handler handler)
{
    return [handler = std::move(handler)](auto&&... args) mutable
        requires std::invocable<Handler&, decltype(args)...>
    {
        try {
            std::invoke(handler, std::forward<decltype(args)>(args)...);
        } catch (...) {
            ShowCurrentException();
        }
    };
}

/// The one way the program connects a signal to an event handler: Qt's
/// pointer-to-member connect with the handler wrapped by Guard. The handler
/// is a member function of receiver (called on receiver) or any callable;
/// the connection ends when sender or receiver is destroyed.
///     ui::Connect(cmdOK, &QPushButton::clicked, this, &TfrmMain::cmdOKClick);
///     ui::Connect(txtName, &QLineEdit::textChanged, this, [this](const QString&) { ... });
template <class Sender, class Signal, class Receiver, class Handler>
QMetaObject::Connection Connect(const Sender* sender, Signal signal, Receiver* receiver, Handler handler,
                                Qt::ConnectionType type = Qt::AutoConnection)
{
    if constexpr (std::is_member_function_pointer_v<Handler>) {
        auto bound = [receiver, handler](auto&&... args) -> decltype(auto)
            requires std::invocable<Handler, Receiver*, decltype(args)...>
        {
            return std::invoke(handler, receiver, std::forward<decltype(args)>(args)...);
        };
        return QObject::connect(sender, signal, receiver, Guard(std::move(bound)), type);
    } else {
        return QObject::connect(sender, signal, receiver, Guard(std::move(handler)), type);
    }
}

/// Connect with sender as the receiver: the handler is a callable, and the
/// connection ends when sender is destroyed.
template <class Sender, class Signal, class Handler>
QMetaObject::Connection Connect(Sender* sender, Signal signal, Handler handler)
{
    return QObject::connect(sender, signal, sender, Guard(std::move(handler)));
}

} // namespace ui
