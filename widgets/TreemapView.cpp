#include "widgets/TreemapView.h"

#include "widgets/SizeText.h"
#include "widgets/TreemapLayout.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <utility>

namespace katalox::widgets {

namespace {

// Below this a rectangle gets no border: it would be all border.
constexpr double kMinBorderedSide = 4;
// Padding between a rectangle's border and its name.
constexpr int kTextMargin = 3;
// Subfolders are drawn inside their folder's rectangle this far in, while they stay this big.
constexpr double kNestingInset = 3;
constexpr double kMinNestedSide = 8;

QColor entryColour(const TreemapEntry& entry) {
    return fileKindColour(entry.isFolder ? FileKind::Folder : entry.kind);
}

// Dark text on light fills, light text on dark ones.
QColor textColourOn(const QColor& fill) {
    const double luminance = 0.299 * fill.redF() + 0.587 * fill.greenF() + 0.114 * fill.blueF();
    return luminance > 0.5 ? QColor(0x20, 0x20, 0x20) : QColor(0xf8, 0xf8, 0xf8);
}

} // namespace

TreemapView::TreemapView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted
}

void TreemapView::setEntries(std::vector<TreemapEntry> entries) {
    entries_ = std::move(entries);
    pressed_ = -1;
    relayout();
    update();
}

int TreemapView::entryAt(const QPointF& pos) const {
    for (std::size_t i = 0; i < rects_.size(); ++i) {
        const QRectF& r = rects_[i];
        // Half-open, so a point on a shared edge belongs to one rectangle only.
        if (pos.x() >= r.left() && pos.x() < r.right() && pos.y() >= r.top() &&
            pos.y() < r.bottom())
            return static_cast<int>(i);
    }
    return -1;
}

QRectF TreemapView::entryRect(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rects_.size())
        return {};
    return rects_[static_cast<std::size_t>(index)];
}

void TreemapView::relayout() {
    std::vector<double> sizes;
    sizes.reserve(entries_.size());
    for (const TreemapEntry& entry : entries_)
        sizes.push_back(entry.size);
    rects_ = squarifiedLayout(sizes, QRectF(rect()));
    nested_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        layOutChildren(entries_[i], rects_[i], 1);
}

void TreemapView::layOutChildren(const TreemapEntry& entry, const QRectF& rect, int depth) {
    // Room at the top for the folder's name, where there is room for its subfolders below it.
    const double line = fontMetrics().height() + 2;
    const double top = rect.height() >= 3 * line && rect.width() >= 6 * line ? line : kNestingInset;
    const QRectF inner = rect.adjusted(kNestingInset, top, -kNestingInset, -kNestingInset);
    if (entry.children.empty() || inner.width() < kMinNestedSide || inner.height() < kMinNestedSide)
        return;
    // The folder's own files take what its subfolders leave, so every area stays in proportion.
    std::vector<double> sizes;
    sizes.reserve(entry.children.size() + 1);
    double below = 0;
    for (const TreemapEntry& child : entry.children) {
        sizes.push_back(child.size);
        below += std::max(child.size, 0.0);
    }
    sizes.push_back(std::max(entry.size - below, 0.0));
    const std::vector<QRectF> rects = squarifiedLayout(sizes, inner);
    for (std::size_t i = 0; i < entry.children.size(); ++i) {
        if (rects[i].width() < 1 || rects[i].height() < 1)
            continue;
        nested_.push_back({rects[i], &entry.children[i], depth});
        layOutChildren(entry.children[i], rects[i], depth + 1);
    }
}

void TreemapView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

bool TreemapView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = entryAt(help->pos());
        if (index < 0) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        // The deepest rectangle under the pointer tells most.
        const TreemapEntry* entry = &entries_[static_cast<std::size_t>(index)];
        QRectF area = rects_[static_cast<std::size_t>(index)];
        for (auto it = nested_.rbegin(); it != nested_.rend(); ++it)
            if (it->rect.contains(help->pos())) {
                entry = it->entry;
                area = it->rect;
                break;
            }
        const QString text = entry->path + QLatin1Char('\n') + sizeText(entry->size);
        // The tip is tied to the rectangle, so moving onto a neighbour replaces it.
        QToolTip::showText(help->globalPos(), text, this, area.toAlignedRect());
        return true;
    }
    return QWidget::event(event);
}

void TreemapView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Gaps are left only by rectangles too small to draw; a dim neutral fill keeps them quiet.
    painter.fillRect(event->rect(), palette().color(QPalette::Mid));

    const QRectF dirty(event->rect());
    for (std::size_t i = 0; i < rects_.size(); ++i)
        if (rects_[i].intersects(dirty))
            paintEntry(painter, rects_[i], entries_[i], 0);
    for (const Nested& nested : nested_)
        if (nested.rect.intersects(dirty))
            paintEntry(painter, nested.rect, *nested.entry, nested.depth);
}

void TreemapView::paintEntry(QPainter& painter, const QRectF& r, const TreemapEntry& entry,
                             int depth) {
    if (r.width() < 1 || r.height() < 1)
        return;
    // Deeper folders a shade darker, so the nesting reads at a glance.
    const QColor fill = entryColour(entry).darker(100 + 8 * std::min(depth, 6));
    if (r.width() < kMinBorderedSide || r.height() < kMinBorderedSide) {
        painter.fillRect(r, fill);
        return;
    }
    painter.fillRect(r, fill.darker(135));
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    painter.fillRect(inner, fill);
    const QFontMetrics metrics = fontMetrics();
    if (inner.width() < metrics.averageCharWidth() * 3 + 2 * kTextMargin ||
        inner.height() < metrics.height() + 2)
        return;
    const QRectF textArea = inner.adjusted(kTextMargin, 1, -kTextMargin, -1);
    painter.setPen(textColourOn(fill));
    painter.drawText(
        textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        metrics.elidedText(entry.name, Qt::ElideRight, static_cast<int>(textArea.width())));
}

void TreemapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = entryAt(event->position());
    event->accept();
}

void TreemapView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int index = entryAt(event->position());
    const bool clicked = index >= 0 && index == pressed_;
    pressed_ = -1;
    event->accept();
    if (clicked)
        emit entryActivated(entries_[static_cast<std::size_t>(index)].key);
}

} // namespace katalox::widgets
