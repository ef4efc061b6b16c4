#include "widgets/CheckedProgressBar.h"

#include "platform/Error.h"

#include <algorithm>

namespace katalox::widgets {

CheckedProgressBar::CheckedProgressBar(QWidget* parent) : QProgressBar(parent) {}

void CheckedProgressBar::setMaximumChecked(int maximum) {
    if (maximum < minimum()) {
        throw Error("Progress bar maximum " + std::to_string(maximum) + " is below its minimum " +
                    std::to_string(minimum()));
    }
    // QProgressBar would drop a position beyond the new maximum; the bar keeps it, clamped.
    const int position = value();
    setMaximum(maximum);
    if (position > maximum)
        setValue(maximum);
}

void CheckedProgressBar::setPosition(int position, Redraw redraw) {
    if (redraw == Redraw::Now) {
        // QProgressBar::setValue asks the style for the bar's geometry at every call, which
        // costs more than a step of a fast loop; a step too small to show a pixel waits for
        // the next one, or for showPosition().
        pending_ = position;
        const qint64 range = qint64(maximum()) - minimum();
        const qint64 step = qAbs(qint64(position) - value());
        if (position == maximum() || step * std::max(1, width()) >= range)
            showPosition();
        return;
    }
    // A loop that lets events run anyway is faster with one paint per turn.
    pending_.reset();
    setUpdatesEnabled(false);
    setValue(position);
    setUpdatesEnabled(true);
}

void CheckedProgressBar::showPosition() {
    if (pending_) {
        setValue(*pending_);
        pending_.reset();
    }
}

} // namespace katalox::widgets
