#pragma once
// The developer-information window (placeholder until it lands).
#include <QWidget>

class TForm10 : public QWidget {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);
};
