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
    enum class Redraw {
        Now,     // paint at once, for loops that let no events run
        Pending, // paint at the next turn of the event loop, for loops that let events run
    };
    // Sets the position; the bar is painted again only when the change shows.
    void setPosition(int position, Redraw redraw);
};

} // namespace katalox::platform
