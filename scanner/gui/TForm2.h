#pragma once
// The scan window (placeholder until the scan window lands).
#include <QWidget>

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};
