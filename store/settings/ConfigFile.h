#pragma once
// config.ini: where the catalogue lies. Two lines, "TB Name  #= " followed by the table file
// name and "DB PATH  #= " followed by the database folder. Reading drops the first 12
// characters of a line whatever they are and keeps the next 200; nothing is trimmed. Writing
// puts the values whole behind the two prefixes, each line ended by CR LF, and replaces the
// file only once the new one is complete.
#include <cstddef>
#include <string>
#include <vector>

namespace katalox::store {

class ConfigFile {
public:
    static constexpr std::size_t kPrefixLength = 12;
    static constexpr std::size_t kValueLength = 200;
    static constexpr const char* kTablePrefix = "TB Name  #= ";
    static constexpr const char* kFolderPrefix = "DB PATH  #= ";
    static constexpr const char* kDefaultTableName = "Files.db";

    // The start directory and "/config.ini" joined as they are (two separators at the root).
    static std::string path(const std::string& appDir);
    // The start directory followed by "/DataBase/".
    static std::string defaultFolder(const std::string& appDir);

    // The file's lines. Throws FileError "Cannot open file "<path>". <reason>".
    static std::vector<std::string> readLines(const std::string& path);
    // The value on line `index` (0 for the table file name, 1 for the folder): characters 13 to
    // 212 of the line. Throws Error "List index out of bounds (<index>)" past the last line.
    static std::string value(const std::vector<std::string>& lines, std::size_t index);

    // The two lines as they are written.
    static std::vector<std::string> lines(const std::string& tableName, const std::string& folder);
    // Writes both values whole. Throws FileError "Cannot create file "<path>". <reason>" and
    // then leaves any earlier file as it was.
    static void write(const std::string& path, const std::string& tableName,
                      const std::string& folder);
};

} // namespace katalox::store
