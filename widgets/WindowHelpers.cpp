#include "widgets/WindowHelpers.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QShortcut>
#include <QWidget>

#include <algorithm>

namespace katalox::widgets {

void closeOnEscape(QWidget* window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

void useWindowFont(QWidget* window) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    window->setFont(font);
}

void centreOverMainWindow(QWidget* window) {
    QWidget* over = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!over) {
        // At start the main window is placed but not yet shown; a visible one is preferred.
        for (QWidget* candidate : QApplication::topLevelWidgets()) {
            if (candidate != window && candidate->objectName() == QLatin1String("Form1") &&
                (!over || candidate->isVisible()))
                over = candidate;
        }
    }
    if (!over)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(over->frameGeometry().center());
    window->move(frame.topLeft());
}

void fitLabelToText(QLabel* label, int minimumWidth) {
    label->resize(std::max(minimumWidth, label->sizeHint().width()), label->height());
}

void setFittedText(QLabel* label, const QString& text) {
    label->setText(text);
    fitLabelToText(label);
}

void showForm(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace katalox::widgets
