#pragma once
// A progress bar that refuses a maximum below its minimum with an error, where QProgressBar
// would quietly move its minimum down.
#include <QProgressBar>

#include <optional>

namespace katalox::widgets {

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
    // Sets the position. With Redraw::Now a step smaller than a pixel of the bar is held back
    // until a later step shows or showPosition() is called.
    void setPosition(int position, Redraw redraw);
    // Shows the position held back by the last setPosition(), if any.
    void showPosition();

private:
    std::optional<int> pending_;
};

} // namespace katalox::widgets
