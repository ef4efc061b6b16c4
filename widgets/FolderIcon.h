#pragma once
// The icon of a folder of a disk's contents: a drive for a scan's root, a package for the inside
// of an archive, a folder for any other.
#include "store/catalog/DiskContents.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

namespace katalox::widgets {

inline QIcon folderIcon(const store::ContentsFolder& folder) {
    QStyle* style = QApplication::style();
    if (folder.parent == store::ContentsFolder::kNoParent)
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    if (folder.archive)
        return QIcon::fromTheme(QStringLiteral("package-x-generic"),
                                style->standardIcon(QStyle::SP_FileDialogContentsView));
    return style->standardIcon(QStyle::SP_DirIcon);
}

} // namespace katalox::widgets
