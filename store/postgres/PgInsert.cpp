#include "store/postgres/PgInsert.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

// Rows are handed to libpq in pieces of about this size, which it sends at once.
constexpr std::size_t kSendSize = 1 << 16;

// A field in COPY's text form, where a backslash escapes and tab and line break separate.
void appendField(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

PgInsert::PgInsert(PgConnection& db, const std::string& table, std::size_t batchRecords)
    : db_(db), copy_("COPY " + quoteIdentifier(table) +
                     " (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\") FROM STDIN"),
      batchRecords_(std::max<std::size_t>(batchRecords, 1)) {
    rows_.reserve(kSendSize * 2);
}

void PgInsert::add(const std::string& path, const std::string& diskId, std::int64_t size) {
    // The name is the path's last part; upper-casing never makes or moves a separator.
    const std::string upperPath = toServerText(platform::upperCase(path));
    const std::size_t nameAt = upperPath.rfind(platform::kPathSeparator) + 1;
    appendField(rows_, std::string_view(upperPath).substr(nameAt));
    rows_ += '\t';
    appendField(rows_, upperPath);
    rows_ += '\t';
    appendField(rows_, toServerText(diskId));
    rows_ += '\t';
    rows_ += std::to_string(size);
    rows_ += '\n';
    ++inBatch_;
    batchSize_ += size;
    if (!copying_) {
        db_.startCopy(copy_);
        copying_ = true;
    }
    if (rows_.size() >= kSendSize)
        sendRows();
    if (inBatch_ >= batchRecords_)
        endBatch();
}

void PgInsert::finish() {
    if (inBatch_ > 0)
        endBatch();
}

void PgInsert::sendRows() {
    try {
        db_.sendCopyData(rows_);
    } catch (const EngineError&) {
        copying_ = false; // the server has ended the COPY
        throw;
    }
    rows_.clear();
}

void PgInsert::endBatch() {
    sendRows();
    copying_ = false;
    db_.endCopy();
    written_ += static_cast<std::int64_t>(inBatch_);
    writtenSize_ += batchSize_;
    inBatch_ = 0;
    batchSize_ = 0;
}

} // namespace katalox::store
