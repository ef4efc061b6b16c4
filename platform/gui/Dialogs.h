#pragma once
// Every modal dialog of the program goes through here, so tests can answer them: plain
// messages, confirmations, the one-line input, the open-file dialog and the error box.
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace katalox::platform {

// The button that Enter presses in a confirmation.
enum class DefaultButton { Ok, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Message box titled with the application title ("Katalox") and an OK button.
    virtual void showMessage(const QString& text) = 0;
    // "Confirm", question icon, OK and Cancel; true only for OK (closing counts as Cancel).
    // A question before something is deleted passes Cancel as the default button.
    virtual bool confirm(const QString& text, DefaultButton defaultButton = DefaultButton::Ok) = 0;
    // One-line input; no value when cancelled.
    virtual std::optional<QString> inputLine(const QString& caption, const QString& prompt,
                                             const QString& text) = 0;
    // Open-file dialog; the chosen path as bytes, no value when cancelled.
    virtual std::optional<std::string> openFile(const QString& filter,
                                                const QString& defaultExtension) = 0;
    // The top-level error box: "Katalox", error icon, OK. The text is shown as given.
    virtual void showError(const QString& text) = 0;

    // The dialogs in use; the real ones unless a test installed others.
    static Dialogs& instance();
    // Installs dialogs (tests); nullptr restores the real ones. Does not take ownership.
    static void setInstance(Dialogs* dialogs);
};

// The real, modal Qt dialogs.
class QtDialogs : public Dialogs {
public:
    void showMessage(const QString& text) override;
    bool confirm(const QString& text, DefaultButton defaultButton = DefaultButton::Ok) override;
    std::optional<QString> inputLine(const QString& caption, const QString& prompt,
                                     const QString& text) override;
    std::optional<std::string> openFile(const QString& filter,
                                        const QString& defaultExtension) override;
    void showError(const QString& text) override;
};

} // namespace katalox::platform
