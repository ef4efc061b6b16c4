#include "common/ScriptedDialogs.h"

namespace katalox::test {

ScriptedDialogs::ScriptedDialogs() {
    platform::Dialogs::setInstance(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    platform::Dialogs::setInstance(nullptr);
}

void ScriptedDialogs::answerConfirm(bool ok) {
    answers_.emplace_back(ok);
}
void ScriptedDialogs::answerInput(const QString& text) {
    answers_.emplace_back(text);
}
void ScriptedDialogs::answerOpenFile(const std::string& path) {
    answers_.emplace_back(path);
}
void ScriptedDialogs::answerCancel() {
    answers_.emplace_back(Cancel{});
}

QStringList ScriptedDialogs::texts(const QString& kind) const {
    QStringList result;
    for (const Shown& dialog : shown_) {
        if (dialog.kind == kind)
            result << dialog.text;
    }
    return result;
}

void ScriptedDialogs::clear() {
    shown_.clear();
    answers_.clear();
}

ScriptedDialogs::Answer ScriptedDialogs::nextAnswer() {
    if (answers_.empty())
        return Cancel{};
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

void ScriptedDialogs::showMessage(const QString& text) {
    shown_.push_back({QStringLiteral("message"), text});
}

bool ScriptedDialogs::confirm(const QString& text, platform::DefaultButton defaultButton) {
    shown_.push_back({QStringLiteral("confirm"), text, defaultButton});
    const Answer answer = nextAnswer();
    const bool* ok = std::get_if<bool>(&answer);
    return ok && *ok;
}

std::optional<QString> ScriptedDialogs::inputLine(const QString& caption, const QString& prompt,
                                                  const QString&) {
    shown_.push_back({QStringLiteral("input"), caption + QLatin1Char('|') + prompt});
    Answer answer = nextAnswer();
    if (auto* text = std::get_if<QString>(&answer))
        return *text;
    return std::nullopt;
}

std::optional<std::string> ScriptedDialogs::openFile(const QString& filter,
                                                     const QString& defaultExtension) {
    shown_.push_back({QStringLiteral("openFile"), filter + QLatin1Char('|') + defaultExtension});
    Answer answer = nextAnswer();
    if (auto* path = std::get_if<std::string>(&answer))
        return *path;
    return std::nullopt;
}

void ScriptedDialogs::showError(const QString& text) {
    shown_.push_back({QStringLiteral("error"), text});
}

} // namespace katalox::test
