#pragma once
// The search index's upkeep on a catalogue connection: a catalogue made before the index
// existed, or with an index of an older layout, gets an empty one that the builder fills in
// the background; after changes the builder brings the index up to date again.
#include "store/sqlite/Database.h"

#include <memory>
#include <string>

namespace katalox::store {

class SearchIndexBuilder;

class SearchIndexUpkeep : public ConnectionUpkeep {
public:
    // A file that cannot be written is searched without an index (or with the one it holds);
    // another program holding the file, or a table without the catalogue's fields, leaves the
    // file as it is.
    SearchIndexUpkeep(Database& db, std::string table);
    ~SearchIndexUpkeep() override;

    void afterChanges() override;
    void stop() override;
    void finishNow() override;
    // Records posted in a batch usually get Ids above the mark, where the triggers do nothing
    // but cost every record a run of their own: then they are dropped for the batch and made
    // again before it is committed, so that nobody else ever writes the table without them.
    void batchOpening(Database& db) override;
    void batchClosing(Database& db) override;
    // Without room to make the triggers again, the index is given up (it only makes listings
    // fast) and made again in the background the next time the catalogue is opened.
    void batchCannotClose(Database& db) override;

private:
    Database& db_;
    std::string table_;
    std::unique_ptr<SearchIndexBuilder> builder_;
    bool triggersDropped_ = false;
};

} // namespace katalox::store
