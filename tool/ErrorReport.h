// The error report around every event handler of the tool.
#pragma once

#include <QObject>

#include <functional>
#include <type_traits>

namespace morlex {

/// Runs an event handler; an exception that escapes it is shown in the
/// application's error box and the program goes on.
void RunHandler(const std::function<void()>& Handler);

/// Connects a signal to a handler that runs under RunHandler.
template <class Sender, class Signal, class Handler>
void Connect(Sender* sender, Signal signal, QObject* context, Handler handler)
{
    QObject::connect(sender, signal, context, [handler](auto&&... args) {
        RunHandler([&] {
            if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
                handler(args...);
            else
                handler();
        });
    });
}

} // namespace morlex
