#pragma once
// The application's top level for errors: no exception crosses Qt's event loop.
#include <QObject>
#include <QString>

#include <exception>
#include <type_traits>
#include <utility>

namespace katalox::platform {

// The error box's text: the message, with "." appended when its last character sorts after ".".
QString errorBoxText(const QString& message);

// Shows an error that reached the top level in the error box ("Katalox", error icon, OK).
void showTopLevelError(const std::exception& error);

// Runs a handler; an error it raises goes to the error box and the program carries on, with
// what the handler did before the error kept.
template <typename Handler> void guarded(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        showTopLevelError(error);
    }
}

// Connects a signal to a handler that runs guarded: a member function of `receiver` that takes
// no arguments, or any callable that takes none. The connection ends with the receiver.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, Receiver* receiver,
                                       Handler handler) {
    return QObject::connect(sender, signal, receiver, [receiver, handler] {
        guarded([&] {
            if constexpr (std::is_member_function_pointer_v<Handler>)
                (receiver->*handler)();
            else
                handler();
        });
    });
}

} // namespace katalox::platform
