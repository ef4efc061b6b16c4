#include "widgets/WindowHelpers.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace katalox::widgets {

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

void growToText(QLabel* label) {
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    label->resize(std::max(label->width(), textWidth), label->height());
}

} // namespace katalox::widgets
