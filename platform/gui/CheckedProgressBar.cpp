#include "platform/gui/CheckedProgressBar.h"

#include "platform/Error.h"

namespace katalox::platform {

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
    // QProgressBar::setValue repaints synchronously whenever the new value changes what the bar
    // shows. A loop that lets events run anyway is faster with one paint per turn.
    if (redraw == Redraw::Now || !updatesEnabled()) {
        setValue(position);
        return;
    }
    const int before = value();
    setUpdatesEnabled(false);
    setValue(position);
    setUpdatesEnabled(true);
    if (value() != before)
        update();
}

} // namespace katalox::platform
