#pragma once
// A label for a long path. Its text is the path exactly (what a copy, a screen reader or a
// test reads); only the painting wraps it, at a space or separator where one fits and anywhere
// in a name longer than a line. It shows the whole lines that fit its fixed size, the last one
// ending in "…" when the path goes on.
#include <QLabel>

namespace katalox::widgets {

class PathLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace katalox::widgets
