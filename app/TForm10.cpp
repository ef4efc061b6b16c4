#include "app/TForm10.h"

TForm10::TForm10(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Form10");
    setWindowTitle("Developer Info");
    setFixedSize(205, 54);
}
