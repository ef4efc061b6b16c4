#pragma once
// A folder as a treemap: a rectangle per entry, its area in proportion to the entry's size
// and its colour by the entry's kind, each folder's subfolders nested inside its rectangle as
// deep as they stay visible. A left click on an entry reports its key;
// the caller decides what that means (descending into a folder, say). The layout is computed
// when the entries or the widget's size change and cached, so painting only fills rectangles.
#include "widgets/FileKinds.h"

#include <QRectF>
#include <QString>
#include <QWidget>

#include <vector>

namespace katalox::widgets {

struct TreemapEntry {
    QString name; // drawn inside the rectangle when it fits
    QString path; // shown in the tooltip
    double size = 0;
    FileKind kind = FileKind::Other;
    bool isFolder = false;
    int key = -1; // the caller's own index, reported back by entryActivated
    // A folder's subfolders, drawn inside its rectangle (what is left of it is its own files).
    std::vector<TreemapEntry> children;
};

class TreemapView : public QWidget {
    Q_OBJECT
public:
    explicit TreemapView(QWidget* parent = nullptr);

    void setEntries(std::vector<TreemapEntry> entries);
    const std::vector<TreemapEntry>& entries() const { return entries_; }

    // The index into entries() of the rectangle at `pos`, or -1 over none.
    int entryAt(const QPointF& pos) const;
    // The cached rectangle of entries()[index]; empty for an entry too small to get one.
    QRectF entryRect(int index) const;

    QSize sizeHint() const override { return {400, 300}; }
    QSize minimumSizeHint() const override { return {80, 60}; }

signals:
    void entryActivated(int key);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A descendant's rectangle inside a top-level one, and how deep it lies.
    struct Nested {
        QRectF rect;
        const TreemapEntry* entry;
        int depth;
    };
    void relayout();
    void layOutChildren(const TreemapEntry& entry, const QRectF& rect, int depth);
    void paintEntry(QPainter& painter, const QRectF& r, const TreemapEntry& entry, int depth);

    std::vector<TreemapEntry> entries_;
    std::vector<QRectF> rects_;  // parallel to entries_
    std::vector<Nested> nested_; // parents before their children
    // The entry the left button went down on; a click is a press and release on the same one.
    int pressed_ = -1;
};

} // namespace katalox::widgets
