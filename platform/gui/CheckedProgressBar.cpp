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

void CheckedProgressBar::setPosition(int position) {
    // QProgressBar::setValue repaints synchronously whenever the new value changes what the bar
    // shows, and skips the repaint otherwise, so a loop of many small steps stays cheap.
    setValue(position);
}

} // namespace katalox::platform
