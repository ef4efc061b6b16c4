#include "widgets/PathLabel.h"

#include <QPainter>
#include <QTextLayout>

namespace katalox::widgets {

void PathLabel::paintEvent(QPaintEvent*) {
    const QRect area = contentsRect();
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(text(), font());
    layout.setTextOption(option);
    // Only whole lines are shown; when the path goes on below them, the last one ends in "…".
    std::vector<QTextLine> lines;
    bool cutOff = false;
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        if (!lines.empty() && y + line.height() > area.height()) {
            cutOff = true;
            break;
        }
        line.setPosition(QPointF(0, y));
        y += line.height();
        lines.push_back(line);
    }
    layout.endLayout();

    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (cutOff && i + 1 == lines.size()) {
            const QString rest = text().mid(lines[i].textStart());
            painter.drawText(QPointF(area.left(), area.top() + lines[i].y() + lines[i].ascent()),
                             fontMetrics().elidedText(rest, Qt::ElideRight, area.width()));
        } else {
            lines[i].draw(&painter, area.topLeft());
        }
    }
}

} // namespace katalox::widgets
