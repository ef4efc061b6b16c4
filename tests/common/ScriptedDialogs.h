#pragma once
// Dialogs for tests: record every text shown and answer from a script, never blocking.
#include "platform/gui/Dialogs.h"

#include <deque>
#include <variant>

namespace katalox::test {

class ScriptedDialogs : public platform::Dialogs {
public:
    // One recorded dialog: its kind ("message", "confirm", "input", "openFile", "error"), its text
    // and, for a confirmation, the button Enter would press.
    struct Shown {
        QString kind;
        QString text;
        platform::DefaultButton defaultButton = platform::DefaultButton::Ok;
        bool operator==(const Shown&) const = default;
    };

    ScriptedDialogs();           // installs itself as Dialogs::instance()
    ~ScriptedDialogs() override; // restores the real dialogs

    // Answers, consumed in order by confirm (bool), inputLine (QString or cancel) and openFile
    // (std::string or cancel). A dialog with no scripted answer cancels.
    struct Cancel {};
    void answerConfirm(bool ok);
    void answerInput(const QString& text);
    void answerOpenFile(const std::string& path);
    void answerCancel();

    const std::vector<Shown>& shown() const { return shown_; }
    QStringList texts(const QString& kind) const; // texts of one kind, in order
    void clear();

    void showMessage(const QString& text) override;
    bool confirm(const QString& text,
                 platform::DefaultButton defaultButton = platform::DefaultButton::Ok) override;
    std::optional<QString> inputLine(const QString& caption, const QString& prompt,
                                     const QString& text) override;
    std::optional<std::string> openFile(const QString& filter,
                                        const QString& defaultExtension) override;
    void showError(const QString& text) override;

private:
    using Answer = std::variant<Cancel, bool, QString, std::string>;
    Answer nextAnswer();
    std::deque<Answer> answers_;
    std::vector<Shown> shown_;
};

} // namespace katalox::test
