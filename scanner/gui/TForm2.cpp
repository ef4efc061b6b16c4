#include "scanner/gui/TForm2.h"

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Form2");
    setWindowTitle("Scan For Files");
    resize(438, 457);
}
