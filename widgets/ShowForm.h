#pragma once
class QWidget;

namespace katalox::widgets {

// Shows a window modeless and brings it to the front; a visible window keeps its state.
void showForm(QWidget* window);

} // namespace katalox::widgets
