#include "widgets/TreemapLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace katalox::widgets {

namespace {

// The worst aspect ratio in a row of areas laid along a side of length `side`, from the row's
// largest and smallest area and their sum.
double worstRatio(double largest, double smallest, double sum, double side) {
    const double side2 = side * side;
    const double sum2 = sum * sum;
    return std::max(side2 * largest / sum2, sum2 / (side2 * smallest));
}

} // namespace

std::vector<QRectF> squarifiedLayout(const std::vector<double>& sizes, const QRectF& bounds) {
    std::vector<QRectF> rects(sizes.size());
    if (!(bounds.width() > 0 && bounds.height() > 0))
        return rects;

    std::vector<std::size_t> order;
    double total = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] > 0 && std::isfinite(sizes[i])) {
            order.push_back(i);
            total += sizes[i];
        }
    }
    if (order.empty() || !std::isfinite(total))
        return rects;
    // Largest first, as the greedy rows need; equal sizes keep their input order so a layout
    // does not shuffle between runs.
    std::stable_sort(order.begin(), order.end(),
                     [&sizes](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });

    const double scale = bounds.width() * bounds.height() / total;
    std::vector<double> areas(order.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        areas[k] = sizes[order[k]] * scale;

    // The part of the bounds not yet covered by rows.
    double x = bounds.left();
    double y = bounds.top();
    double width = bounds.width();
    double height = bounds.height();

    std::size_t first = 0;
    while (first < areas.size()) {
        const double side = std::min(width, height);
        // Grow the row while that does not make its worst rectangle any less square.
        std::size_t end = first;
        double rowArea = 0;
        double worst = std::numeric_limits<double>::infinity();
        while (end < areas.size()) {
            const double sum = rowArea + areas[end];
            const double ratio = side > 0 ? worstRatio(areas[first], areas[end], sum, side) : 0;
            if (end > first && ratio > worst)
                break;
            worst = ratio;
            rowArea = sum;
            ++end;
        }
        const bool lastRow = end == areas.size();

        // A row runs along the short side. The last row takes whatever is left, so rounding in
        // the earlier rows never leaves a sliver uncovered or spills past the bounds.
        const bool vertical = width >= height; // a column at the left of what is left
        const double extent = vertical ? width : height;
        const double thickness = lastRow || side <= 0 ? extent : std::min(extent, rowArea / side);
        double done = 0;
        for (std::size_t k = first; k < end; ++k) {
            // Edges from running sums, so the row's last edge lands exactly on its end.
            const double from = done / rowArea * side;
            done += areas[k];
            const double to = k + 1 == end ? side : done / rowArea * side;
            rects[order[k]] = vertical ? QRectF(x, y + from, thickness, to - from)
                                       : QRectF(x + from, y, to - from, thickness);
        }
        if (vertical) {
            x += thickness;
            width = std::max(0.0, width - thickness);
        } else {
            y += thickness;
            height = std::max(0.0, height - thickness);
        }
        first = end;
    }
    return rects;
}

} // namespace katalox::widgets
