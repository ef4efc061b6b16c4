#include "app/Application.h"

#include <QApplication>
#include <QMainWindow>

namespace katalox {

int runApplication(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Katalox");
    QMainWindow placeholder;
    placeholder.setWindowTitle("Katalox 1.2");
    placeholder.resize(772, 448);
    placeholder.show();
    return QApplication::exec();
}

} // namespace katalox
