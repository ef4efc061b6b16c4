#include "widgets/PathLabel.h"

#include <QPainter>
#include <QTextOption>

namespace katalox::widgets {

void PathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Painting is clipped to the label, so lines beyond its height are cut off.
    painter.drawText(QRectF(contentsRect()), text(), option);
}

} // namespace katalox::widgets
