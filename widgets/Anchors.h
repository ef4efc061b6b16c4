#pragma once
// Anchors: a widget's dynamic property "anchors" lists the edges of its parent it keeps its
// distance to ("left,top,right,bottom" or a subset; none means left,top). Anchored to both
// left and right it grows with the parent's width, to right only it moves with it; likewise
// for top and bottom.
#include <QSize>

class QWidget;

namespace katalox::widgets {

// Starts applying the anchors of every widget below `window` whenever its parent is resized.
// `designedClientSize` is the size the layout was drawn for: the widgets directly on the
// window's client area keep their distances relative to it.
void installAnchors(QWidget* window, QWidget* clientArea, QSize designedClientSize);

} // namespace katalox::widgets
