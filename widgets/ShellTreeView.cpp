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
#include <set>

namespace katalox::widgets {

using platform::displayText;
using platform::FindOperation;
using platform::FindRequest;
using platform::joinPath;
using platform::kPathSeparator;
using platform::lastComponent;

namespace {

constexpr int kPathRole = Qt::UserRole;

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
    connect(this, &QTreeWidget::itemExpanded, this, &ShellTreeView::readExpanded);
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
    root->setExpanded(true); // reads its children
    setCurrentItem(root);
}

void ShellTreeView::addTopFolder(const std::string& path) {
    addedTopFolders_.push_back(path);
    fill();
    readExpanded(topLevelItem(0));
}

void ShellTreeView::setMountTableSource(
    std::function<std::vector<platform::MountedFileSystem>()> source) {
    mounts_ = std::move(source);
}

void ShellTreeView::refresh() {
    if (QTreeWidgetItem* root = topLevelItem(0); root && root->isExpanded())
        readExpanded(root);
}

void ShellTreeView::showEvent(QShowEvent* event) {
    fill();
    QTreeWidget::showEvent(event);
}

std::vector<ShellTreeView::Child> ShellTreeView::topFolders() const {
    std::vector<Child> tops{{"/", QStringLiteral("/"), QStyle::SP_DriveHDIcon}};
    const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
    if (home != "/")
        tops.push_back({home, displayText(lastComponent(home)), QStyle::SP_DirHomeIcon});
    // A volume shows under its mount point's name, which is its label where the system mounts
    // volumes by label.
    for (const std::string& volume : removableVolumes(mounts_()))
        tops.push_back({volume, displayText(lastComponent(volume)), QStyle::SP_DriveCDIcon});
    for (const std::string& added : addedTopFolders_)
        tops.push_back({added, displayText(lastComponent(added))});
    return tops;
}

std::vector<ShellTreeView::Child> ShellTreeView::subfolders(const std::string& folder) {
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
    std::vector<Child> children;
    children.reserve(names.size());
    for (const std::string& name : names)
        children.push_back({joinPath(folder, name), displayText(name)});
    return children;
}

void ShellTreeView::readExpanded(QTreeWidgetItem* item) {
    const bool computer = item == topLevelItem(0);
    const std::vector<Child> children = computer ? topFolders() : subfolders(pathOf(item));
    mergeChildren(item, children);
    if (!computer)
        item->setChildIndicatorPolicy(children.empty() ? QTreeWidgetItem::DontShowIndicator
                                                       : QTreeWidgetItem::ShowIndicator);
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->isExpanded())
            readExpanded(item->child(i));
    }
}

void ShellTreeView::mergeChildren(QTreeWidgetItem* item, const std::vector<Child>& children) {
    std::set<QByteArray> wanted;
    for (const Child& child : children)
        wanted.insert(QByteArray::fromStdString(child.path));
    // The nodes of folders that are gone go first; the others keep their order, and so the
    // selection and what is expanded below them.
    std::set<QByteArray> kept;
    for (int i = item->childCount() - 1; i >= 0; --i) {
        const QByteArray path = item->child(i)->data(0, kPathRole).toByteArray();
        if (wanted.count(path))
            kept.insert(path);
        else
            delete item->takeChild(i);
    }
    for (int i = 0; i < static_cast<int>(children.size()); ++i) {
        const QByteArray path = QByteArray::fromStdString(children[i].path);
        if (i < item->childCount() && item->child(i)->data(0, kPathRole).toByteArray() == path)
            continue;
        QTreeWidgetItem* node = nullptr;
        for (int j = i + 1; kept.count(path) && j < item->childCount() && !node; ++j) {
            if (item->child(j)->data(0, kPathRole).toByteArray() == path)
                node = item->takeChild(j); // moved: the order of the names changed
        }
        if (!node) {
            node = new QTreeWidgetItem(QStringList{children[i].text});
            node->setIcon(0, style()->standardIcon(children[i].icon));
            node->setData(0, kPathRole, path);
            // Whether a folder has subfolders is found out only when it is expanded.
            node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        item->insertChild(i, node);
    }
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
        node->setExpanded(true); // reads its children when it was collapsed
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
