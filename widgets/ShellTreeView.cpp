#include "widgets/ShellTreeView.h"

#include "platform/DisplayText.h"
#include "platform/Find.h"
#include "platform/Paths.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

namespace katalox::widgets {

using platform::displayText;
using platform::FindOperation;
using platform::FindRequest;
using platform::joinPath;
using platform::kPathSeparator;
using platform::lastComponent;

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

bool isRemovableMountPoint(const std::string& path) {
    for (const char* prefix : {"/media/", "/run/media/", "/mnt/"}) {
        const std::string p(prefix);
        if (path.size() > p.size() && path.compare(0, p.size(), p) == 0)
            return true;
    }
    return false;
}

} // namespace

ShellTreeView::ShellTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setIndentation(19);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::itemExpanded, this, &ShellTreeView::fillChildren);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                if (current)
                    emit selectedFolderChanged();
            });
}

void ShellTreeView::fill() {
    if (filled_)
        return;
    filled_ = true;
    auto* root = new QTreeWidgetItem(this, QStringList{QStringLiteral("Computer")});
    root->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
    root->setData(0, kPathRole, QByteArray(kComputerPath));
    root->setData(0, kFilledRole, true);

    addFolderNode(root, "/", QStringLiteral("/"))
        ->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
    if (home != "/")
        addFolderNode(root, home, displayText(lastComponent(home)))
            ->setIcon(0, style()->standardIcon(QStyle::SP_DirHomeIcon));
    for (const std::string& volume : removableVolumes(platform::readMountTable())) {
        addFolderNode(root, volume, displayText(lastComponent(volume)))
            ->setIcon(0, style()->standardIcon(QStyle::SP_DriveCDIcon));
    }
    root->setExpanded(true);
    setCurrentItem(root);
}

void ShellTreeView::addTopFolder(const std::string& path) {
    fill();
    addFolderNode(topLevelItem(0), path, displayText(lastComponent(path)));
}

void ShellTreeView::showEvent(QShowEvent* event) {
    fill();
    QTreeWidget::showEvent(event);
}

QTreeWidgetItem* ShellTreeView::addFolderNode(QTreeWidgetItem* parent, const std::string& path,
                                              const QString& text) {
    auto* item = new QTreeWidgetItem(parent, QStringList{text});
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    item->setData(0, kFilledRole, false);
    // Whether a folder has subfolders is found out only when it is expanded.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void ShellTreeView::fillChildren(QTreeWidgetItem* item) {
    if (item->data(0, kFilledRole).toBool())
        return;
    item->setData(0, kFilledRole, true);
    const std::string folder = pathOf(item);
    std::vector<std::string> names;
    // The folders request leaves out hidden folders and those of kernel pseudo file systems.
    FindOperation find(joinPath(folder, "*"), FindRequest::Folders);
    while (find.next()) {
        const std::string& name = find.name();
        if (name != "." && name != ".." && find.isDirectory())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int byText = displayText(a).compare(displayText(b), Qt::CaseInsensitive);
        return byText != 0 ? byText < 0 : a < b;
    });
    for (const std::string& name : names)
        addFolderNode(item, joinPath(folder, name), displayText(name));
    item->setChildIndicatorPolicy(names.empty() ? QTreeWidgetItem::DontShowIndicator
                                                : QTreeWidgetItem::ShowIndicator);
}

std::string ShellTreeView::pathOf(const QTreeWidgetItem* item) {
    return item->data(0, kPathRole).toByteArray().toStdString();
}

std::string ShellTreeView::selectedPath() const {
    const QTreeWidgetItem* item = currentItem();
    return item ? pathOf(item) : std::string();
}

QString ShellTreeView::selectedDisplayText() const {
    const QTreeWidgetItem* item = currentItem();
    return item ? item->text(0) : QString();
}

bool ShellTreeView::selectPath(const std::string& path) {
    fill();
    std::string target = path;
    while (target.size() > 1 && target.back() == kPathSeparator)
        target.pop_back();
    if (target.empty() || target.front() != kPathSeparator)
        return false;
    // Start from the top node whose folder is the longest leading part of the path.
    QTreeWidgetItem* node = nullptr;
    std::size_t nodeLength = 0;
    QTreeWidgetItem* root = topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i) {
        const std::string top = pathOf(root->child(i));
        const bool leads =
            top == "/" || target == top ||
            (target.compare(0, top.size(), top) == 0 && target[top.size()] == kPathSeparator);
        if (leads && top.size() >= nodeLength) {
            node = root->child(i);
            nodeLength = top.size();
        }
    }
    while (node && pathOf(node) != target) {
        fillChildren(node);
        node->setExpanded(true);
        const std::string current = pathOf(node);
        const std::size_t start = current == "/" ? 1 : current.size() + 1;
        const std::string name = target.substr(start, target.find(kPathSeparator, start) - start);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i) {
            if (lastComponent(pathOf(node->child(i))) == name)
                next = node->child(i);
        }
        node = next;
    }
    if (!node)
        return false;
    setCurrentItem(node);
    return true;
}

std::vector<std::string>
ShellTreeView::removableVolumes(const std::vector<platform::MountedFileSystem>& mounts) {
    std::vector<std::string> volumes;
    for (const platform::MountedFileSystem& mount : mounts) {
        if (isRemovableMountPoint(mount.mountPoint) &&
            std::find(volumes.begin(), volumes.end(), mount.mountPoint) == volumes.end())
            volumes.push_back(mount.mountPoint);
    }
    return volumes;
}

void ShellTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void ShellTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void ShellTreeView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace katalox::widgets
