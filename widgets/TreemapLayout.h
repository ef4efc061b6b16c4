#pragma once
// The squarified treemap layout (Bruls, Huizing and van Wijk): rectangles whose areas are in
// proportion to their sizes, kept as near square as the greedy row filling allows, tiling the
// bounds with no gap and no overlap. Pure geometry, so the view can cache it per size.
#include <QRectF>

#include <vector>

namespace katalox::widgets {

// One rectangle per size, in the order given. A size that is zero, negative or not finite gets
// an empty QRectF; so does every size when `bounds` has no area. The others tile `bounds`.
std::vector<QRectF> squarifiedLayout(const std::vector<double>& sizes, const QRectF& bounds);

} // namespace katalox::widgets
