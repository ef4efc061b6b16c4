#pragma once
// The shell folder tree: a root node "Computer" holding the file-system root, the home folder
// and the mounted removable volumes; folders only, hidden folders left out. A node's children
// are read each time it is expanded, so a disk mounted or a folder made since shows up then;
// nothing is read by itself. Paths are byte strings, so any folder name works.
#include "platform/MountTable.h"

#include <QStyle>
#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

namespace katalox::widgets {

class ShellTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // The path text of the root node: not an absolute path, so nothing can be enumerated
    // under it.
    static constexpr const char* kComputerPath = "Computer";

    explicit ShellTreeView(QWidget* parent = nullptr);

    // Builds the top of the tree and selects the root node (which emits selectedFolderChanged),
    // the first time only. Runs by itself when the tree is first shown.
    void fill();

    // The selected node's full path, without a final separator except for "/"; the root
    // node gives kComputerPath. Empty when nothing is selected.
    std::string selectedPath() const;
    // The text the tree shows for the selected node.
    QString selectedDisplayText() const;

    // Selects the node of an existing folder reachable from the tree's top nodes, expanding
    // the nodes on the way; false when the folder is not in the tree (hidden, missing, ...).
    bool selectPath(const std::string& path);

    // Adds a folder below the root node, beside the file-system root and the home folder (for a
    // folder that the tree does not reach otherwise, such as one on a memory file system).
    void addTopFolder(const std::string& path);

    // Reads the children of every expanded node again, keeping the nodes that are still there
    // (and so the selection, unless its folder is gone).
    void refresh();

    // Where the mounted volumes are read from; the system's mount table unless replaced.
    void setMountTableSource(std::function<std::vector<platform::MountedFileSystem>()> source);

    // The mounted removable volumes: the mount points below /media, /run/media and /mnt, each
    // once.
    static std::vector<std::string>
    removableVolumes(const std::vector<platform::MountedFileSystem>& mounts);

signals:
    // The selected node changed, by a click, the keyboard, fill() or selectPath().
    void selectedFolderChanged();

protected:
    void showEvent(QShowEvent* event) override;
    // A right click changes nothing: it neither selects nor opens a menu.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // One child node as the file system has it now.
    struct Child {
        std::string path;
        QString text;
        QStyle::StandardPixmap icon = QStyle::SP_DirIcon;
    };
    std::vector<Child> topFolders() const;
    static std::vector<Child> subfolders(const std::string& folder);
    // Reads a node's children and, below them, those of its expanded children.
    void readExpanded(QTreeWidgetItem* item);
    // Makes a node's children those given, in their order, reusing the nodes already there.
    void mergeChildren(QTreeWidgetItem* item, const std::vector<Child>& children);
    static std::string pathOf(const QTreeWidgetItem* item);

    bool filled_ = false;
    std::vector<std::string> addedTopFolders_;
    std::function<std::vector<platform::MountedFileSystem>()> mounts_ = [] {
        return platform::readMountTable();
    };
};

} // namespace katalox::widgets
