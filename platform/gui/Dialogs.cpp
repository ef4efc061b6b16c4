#include "platform/gui/Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace katalox::platform {

namespace {

Dialogs* installedDialogs = nullptr;

QWidget* dialogParent() {
    return QApplication::activeWindow();
}

QString applicationTitle() {
    return QCoreApplication::applicationName();
}

} // namespace

Dialogs& Dialogs::instance() {
    static QtDialogs realDialogs;
    return installedDialogs ? *installedDialogs : realDialogs;
}

void Dialogs::setInstance(Dialogs* dialogs) {
    installedDialogs = dialogs;
}

void QtDialogs::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, dialogParent());
    box.exec();
}

bool QtDialogs::confirm(const QString& text, DefaultButton defaultButton) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
                    QMessageBox::Ok | QMessageBox::Cancel, dialogParent());
    box.setDefaultButton(defaultButton == DefaultButton::Cancel ? QMessageBox::Cancel
                                                                : QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtDialogs::inputLine(const QString& caption, const QString& prompt,
                                            const QString& text) {
    bool ok = false;
    QString answer =
        QInputDialog::getText(dialogParent(), caption, prompt, QLineEdit::Normal, text, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

std::optional<std::string> QtDialogs::openFile(const QString& filter,
                                               const QString& defaultExtension) {
    QFileDialog dialog(dialogParent());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    QString suffix = defaultExtension;
    suffix.remove(QStringLiteral("*")).remove(0, suffix.startsWith('.') ? 1 : 0);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

void QtDialogs::showError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok,
                    dialogParent());
    box.exec();
}

} // namespace katalox::platform
