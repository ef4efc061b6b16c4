#pragma once
// The configuration window (placeholder until the configuration window lands).
#include <QWidget>

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    // Runs at start right after the window is created: reads config.ini, opens the catalogue.
    void FormCreate();
};
