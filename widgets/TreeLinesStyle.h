#pragma once
// Draws the connecting lines of a tree view (between siblings and to each node) under the
// platform's expand buttons, which some styles leave out.
#include <QProxyStyle>

namespace katalox::widgets {

class TreeLinesStyle : public QProxyStyle {
    Q_OBJECT
public:
    TreeLinesStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

} // namespace katalox::widgets
