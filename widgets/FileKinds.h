#pragma once
// What kind of file a name is, told by its extension alone: the browser's "Kind" column and the
// treemap's colours. Names are the catalogue's raw bytes and need not be UTF-8; only ASCII
// letters are case-folded, so any other byte simply fails to match a known extension.
#include <QColor>
#include <QString>

#include <string_view>

namespace katalox::widgets {

enum class FileKind { Folder, Image, Audio, Video, Document, Archive, Program, Code, Other };

// The kind by the part after the last dot. A name without a dot, ending in one, or whose only
// dot leads it (".profile") has no extension and is Other. Never Folder: a name cannot tell.
FileKind fileKindOf(std::string_view fileName);

// The kind's own name: "Folder", "Image", …, "Source code"; Other is plain "File".
QString fileKindName(FileKind kind);

// The "Kind" column text for a file: its kind's name, or for an unknown extension "DAT file".
QString fileKindText(std::string_view fileName);

// Fill colours for the treemap, distinct from each other and light enough for dark text.
QColor fileKindColour(FileKind kind);

} // namespace katalox::widgets
