#include "widgets/TreeLinesStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace katalox::widgets {

TreeLinesStyle::TreeLinesStyle() : QProxyStyle() {}

void TreeLinesStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element == PE_IndicatorBranch) {
        const QRect& rect = option->rect;
        const int midX = rect.x() + rect.width() / 2;
        const int midY = rect.y() + rect.height() / 2;
        painter->save();
        painter->setPen(QPen(option->palette.color(QPalette::Dark), 1, Qt::DotLine));
        if (option->state & State_Item) {
            // A node of this column: a line in from above, then across to the node.
            painter->drawLine(midX, rect.top(), midX, midY);
            painter->drawLine(midX, midY, rect.right(), midY);
        }
        if (option->state & State_Sibling) // more nodes below on this level
            painter->drawLine(midX, (option->state & State_Item) ? midY : rect.top(), midX,
                              rect.bottom());
        painter->restore();
        if (!(option->state & State_Children))
            return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

} // namespace katalox::widgets
