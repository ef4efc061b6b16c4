#include "widgets/Anchors.h"

#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace katalox::widgets {

namespace {

struct AnchoredWidget {
    QPointer<QWidget> widget;
    QRect designedGeometry;
    QSize designedParentSize;
    bool left = true, top = true, right = false, bottom = false;
};

// Watches the parents of anchored widgets and moves or stretches the widgets on resize.
class AnchorFilter : public QObject {
public:
    using QObject::QObject;

    void add(const AnchoredWidget& anchored) {
        QWidget* parent = anchored.widget->parentWidget();
        if (!byParent_.contains(parent))
            parent->installEventFilter(this);
        byParent_[parent].push_back(anchored);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            auto it = byParent_.find(static_cast<QWidget*>(watched));
            if (it != byParent_.end())
                apply(static_cast<QWidget*>(watched)->size(), *it);
        }
        return false;
    }

private:
    static void apply(QSize parentSize, const std::vector<AnchoredWidget>& widgets) {
        for (const AnchoredWidget& anchored : widgets) {
            if (!anchored.widget)
                continue;
            const int dw = parentSize.width() - anchored.designedParentSize.width();
            const int dh = parentSize.height() - anchored.designedParentSize.height();
            QRect geometry = anchored.designedGeometry;
            if (anchored.right && anchored.left)
                geometry.setWidth(qMax(0, geometry.width() + dw));
            else if (anchored.right)
                geometry.moveLeft(geometry.left() + dw);
            if (anchored.bottom && anchored.top)
                geometry.setHeight(qMax(0, geometry.height() + dh));
            else if (anchored.bottom)
                geometry.moveTop(geometry.top() + dh);
            anchored.widget->setGeometry(geometry);
        }
    }

    QHash<QWidget*, std::vector<AnchoredWidget>> byParent_;
};

} // namespace

void installAnchors(QWidget* window, QWidget* clientArea, QSize designedClientSize) {
    auto* filter = new AnchorFilter(window);
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const QVariant property = widget->property("anchors");
        if (!property.isValid() || !widget->parentWidget())
            continue;
        const QString anchors = property.toString();
        AnchoredWidget anchored;
        anchored.widget = widget;
        anchored.designedGeometry = widget->geometry();
        anchored.designedParentSize = widget->parentWidget() == clientArea
                                          ? designedClientSize
                                          : widget->parentWidget()->size();
        anchored.left = anchors.contains(QLatin1String("left"));
        anchored.top = anchors.contains(QLatin1String("top"));
        anchored.right = anchors.contains(QLatin1String("right"));
        anchored.bottom = anchors.contains(QLatin1String("bottom"));
        if (!anchored.left && !anchored.right)
            anchored.left = true;
        if (!anchored.top && !anchored.bottom)
            anchored.top = true;
        filter->add(anchored);
    }
}

} // namespace katalox::widgets
