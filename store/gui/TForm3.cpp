#include "store/gui/TForm3.h"

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Form3");
    setWindowTitle("Configuration");
    setFixedSize(391, 127);
}

void TForm3::FormCreate() {}
