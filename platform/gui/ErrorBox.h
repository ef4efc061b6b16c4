#pragma once
// The application's top level for errors: no exception crosses Qt's event loop.
#include <QString>

#include <exception>
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

} // namespace katalox::platform
