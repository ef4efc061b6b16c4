#pragma once
// Small helpers shared by the windows: font, placement, showing, labels sized to their text.
class QLabel;
class QString;
class QWidget;

namespace katalox::widgets {

// The window font: the platform's sans-serif face at 11 pixels, whatever the screen's scaling.
void useWindowFont(QWidget* window);

// Centres a top-level window over its parent window or, without a parent, over the main
// window ("Form1"), shown or not yet; leaves it where it is when there is neither.
void centreOverMainWindow(QWidget* window);

// Sizes a label's width to its text, keeping its left edge and its height; it never gets
// narrower than `minimumWidth` (pass the designed width for a label that may only grow).
void fitLabelToText(QLabel* label, int minimumWidth = 0);

// Sets a label's text and fits its width to it.
void setFittedText(QLabel* label, const QString& text);

// Escape closes the window (for windows that only hide when closed).
void closeOnEscape(QWidget* window);

// Shows a window modeless and brings it to the front; a visible window keeps its state.
void showForm(QWidget* window);

} // namespace katalox::widgets
