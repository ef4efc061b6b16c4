#include "widgets/Anchors.h"
#include "widgets/WindowHelpers.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>
#include <gtest/gtest.h>

using katalox::widgets::installAnchors;

namespace {

QWidget* child(QWidget* parent, const QRect& geometry, const char* anchors) {
    auto* widget = new QWidget(parent);
    widget->setGeometry(geometry);
    if (anchors)
        widget->setProperty("anchors", QString::fromLatin1(anchors));
    return widget;
}

} // namespace

TEST(Anchors, StretchMoveOrKeepEachWidgetByItsEdges) {
    QWidget window;
    auto* client = new QWidget(&window);
    QWidget* grid = child(client, {184, 64, 573, 369}, "left,top,right,bottom");
    QWidget* tree = child(client, {8, 64, 169, 369}, "left,top,bottom");
    QWidget* button = child(client, {296, 22, 131, 25}, "top,right");
    QWidget* bar = child(client, {8, 425, 414, 17}, "left,right,bottom");
    QWidget* label = child(client, {184, 48, 72, 13}, nullptr);
    QWidget* plain = child(client, {10, 10, 20, 20}, "");
    client->resize(772, 448);
    installAnchors(&window, client, QSize(772, 448));
    window.show(); // hidden widgets get their resize events only when shown

    client->resize(872, 548); // 100 wider, 100 taller
    EXPECT_EQ(grid->geometry(), QRect(184, 64, 673, 469));
    EXPECT_EQ(tree->geometry(), QRect(8, 64, 169, 469));
    EXPECT_EQ(button->geometry(), QRect(396, 22, 131, 25));
    EXPECT_EQ(bar->geometry(), QRect(8, 525, 514, 17));
    EXPECT_EQ(label->geometry(), QRect(184, 48, 72, 13));
    EXPECT_EQ(plain->geometry(), QRect(10, 10, 20, 20));

    client->resize(772, 448); // back to the designed size
    EXPECT_EQ(grid->geometry(), QRect(184, 64, 573, 369));
    EXPECT_EQ(button->geometry(), QRect(296, 22, 131, 25));
}

TEST(Anchors, ClientAreaWithAnotherStartingSizeStillUsesTheDesignedOne) {
    // The client area of a main window is sized only when the window is laid out; the anchors
    // keep the distances of the design, not of whatever size it had when they were installed.
    QWidget window;
    auto* client = new QWidget(&window);
    client->resize(100, 30);
    QWidget* grid = child(client, {184, 64, 573, 369}, "left,top,right,bottom");
    installAnchors(&window, client, QSize(772, 448));
    client->resize(772, 448);
    EXPECT_EQ(grid->geometry(), QRect(184, 64, 573, 369));
}

TEST(Anchors, NestedWidgetsFollowTheirOwnParent) {
    QWidget window;
    auto* client = new QWidget(&window);
    client->resize(400, 300);
    auto* frame = new QGroupBox(client);
    frame->setGeometry(10, 10, 200, 100);
    frame->setProperty("anchors", "left,top,right");
    QWidget* edit = child(frame, {8, 16, 100, 21}, "left,top,right");
    installAnchors(&window, client, QSize(400, 300));
    window.show();
    client->resize(450, 300);
    EXPECT_EQ(frame->geometry(), QRect(10, 10, 250, 100));
    EXPECT_EQ(edit->geometry(), QRect(8, 16, 150, 21));
}

TEST(ShowForm, ShowingTwiceKeepsOneVisibleWindow) {
    QWidget window;
    katalox::widgets::showForm(&window);
    katalox::widgets::showForm(&window);
    EXPECT_TRUE(window.isVisible());
    katalox::widgets::showForm(nullptr); // nothing to show, no crash
}
