#pragma once
// The groups of records with the same content across the catalogue, most wasted bytes first
// (a group of n copies of s bytes wastes (n - 1) * s), read a page at a time. A filter keeps
// the groups with a member on one Disk ID, at least so large, or with a path holding a text.
#include "store/copies/CopySource.h"
#include "store/copies/OtherCopies.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

struct CopyFilter {
    std::string diskId;       // empty: any
    std::int64_t minSize = 1; // bytes of one copy
    std::string pathPart;     // upper-cased; empty: any
    std::int64_t minCopies = 2;
};

struct CopyGroup {
    std::string key;
    std::int64_t size = 0;
    std::vector<KnownCopy> members; // sure when every member was verified alike
    std::int64_t waste() const { return size * (static_cast<std::int64_t>(members.size()) - 1); }
};

class CopyGroups {
public:
    CopyGroups(std::shared_ptr<CopySource> source, CopyFilter filter);
    // The groups of table `table` of a catalogue file.
    CopyGroups(Database& db, const std::string& table, CopyFilter filter);
    // The next `count` groups that pass the filter; fewer at the end.
    std::vector<CopyGroup> next(std::size_t count);
    bool atEnd() const { return atEnd_; }

private:
    bool passes(const CopyGroup& group) const;

    std::shared_ptr<CopySource> source_;
    CopyFilter filter_;
    std::unique_ptr<CopySource::Groups> groups_;
    bool atEnd_ = false;
};

} // namespace katalox::store
