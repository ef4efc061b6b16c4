#pragma once
// A progress bar that refuses a maximum below its minimum with an error, where QProgressBar
// would quietly move its minimum down.
#include <QProgressBar>

namespace katalox::platform {

class CheckedProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit CheckedProgressBar(QWidget* parent = nullptr);

    // Sets the maximum; throws Error when it is below the minimum, changing nothing. A position
    // beyond the new maximum moves down to it.
    void setMaximumChecked(int maximum);
    // Sets the position and, when the change shows, redraws the bar at once (without letting
    // any other event run).
    void setPosition(int position);
};

} // namespace katalox::platform
