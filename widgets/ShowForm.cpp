#include "widgets/ShowForm.h"

#include <QWidget>

namespace katalox::widgets {

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
