#pragma once
// Small layout helpers shared by the windows.
class QLabel;
class QWidget;

namespace katalox::widgets {

// The window font: the platform's sans-serif face at 11 pixels, whatever the screen's scaling.
void useWindowFont(QWidget* window);

// Centres a top-level window over its parent window or, without a parent, over the main
// window ("Form1"), shown or not yet; leaves it where it is when there is neither.
void centreOverMainWindow(QWidget* window);

// Widens a label to the right so its whole text shows; it never shrinks below its designed
// width, and its height stays.
void growToText(QLabel* label);

} // namespace katalox::widgets
