#pragma once
// Writes the facts of one scan's files as their records are written: each file's folder
// (made with its ancestors the first time one of its files comes), name in real case and
// modification time. Facts are gathered in memory and written by flush(), inside the
// transaction that commits their records, so that a crash keeps both or neither. The rows go
// through a FactsSink: a catalogue file's tables, or a server's.
#include "store/facts/FactRows.h"
#include "store/sqlite/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace katalox::store {

class Database;

class FactsWriter {
public:
    // `rootFolder`: the scan's start folder as walked, ending with the separator.
    FactsWriter(Database& db, std::string rootFolder);
    FactsWriter(std::unique_ptr<FactsSink> sink, std::string rootFolder);
    ~FactsWriter();

    // A file about to be recorded (record 0: its id is told by setRecord() or flush()), whose
    // record's name is `upperName`. Paths outside the root folder get no facts.
    void add(std::string_view realPath, std::string_view upperName, std::int64_t size,
             std::int64_t modified, std::int64_t record = 0);
    // The id of the record of the last file added.
    void setRecord(std::int64_t record);
    // Writes what was added since the last flush under the scan `scanId`; a file whose record
    // id is still unknown gets `lastRecord`. Runs inside the caller's transaction.
    void flush(std::int64_t scanId, std::int64_t lastRecord);

private:
    struct Folder {
        std::string name; // the root's whole path, else the folder's own name
        std::uint32_t parent = 0;
        std::int64_t id = 0; // 0 until written
        std::int64_t files = 0;
        std::int64_t bytes = 0; // not yet added to the written folder
    };
    struct Fact {
        std::int64_t record;
        std::uint32_t folder;
        Value name;
        std::int64_t modified;
    };
    std::uint32_t folderOf(std::string_view folderPath);
    void writeFolders(std::int64_t scanId);

    std::unique_ptr<FactsSink> sink_;
    std::vector<Folder> folders_;
    // By path relative to the root, ending with the separator ("" for the root).
    std::unordered_map<std::string, std::uint32_t> byPath_;
    std::string lastFolder_ = std::string(1, '\0');
    std::uint32_t lastFolderIndex_ = 0;
    std::vector<Fact> facts_;
    std::vector<std::uint32_t> touched_; // folders whose totals grew since the last flush
};

} // namespace katalox::store
