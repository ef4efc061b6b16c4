#include "platform/gui/ErrorBox.h"

#include "platform/DisplayText.h"
#include "platform/gui/Dialogs.h"

namespace katalox::platform {

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showTopLevelError(const std::exception& error) {
    // Messages are UTF-8 bytes; names that are not valid UTF-8 show as replacement characters.
    Dialogs::instance().showError(errorBoxText(displayText(error.what())));
}

} // namespace katalox::platform
