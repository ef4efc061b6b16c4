#include "store/postgres/PgListing.h"

namespace katalox::store {

namespace {

constexpr const char* kCursor = "\"Katalox Listing\"";
// A small first piece, so that the first results show at once, then larger ones.
constexpr int kFirstPieceRows = 100;
constexpr int kPieceRows = 5000;

} // namespace

PgListing::PgListing(PgConnection& db, const std::string& select,
                     const std::vector<PgParameter>& parameters)
    : db_(db), transaction_(db) {
    db_.execute("SET TRANSACTION READ ONLY");
    db_.execute(std::string("DECLARE ") + kCursor + " NO SCROLL CURSOR FOR " + select, parameters);
}

bool PgListing::next() {
    if (piece_ && ++row_ < piece_->rows())
        return true;
    if (ended_)
        return false;
    const int asked = piece_ ? kPieceRows : kFirstPieceRows;
    piece_.emplace(db_.execute("FETCH FORWARD " + std::to_string(asked) + " FROM " + kCursor));
    row_ = 0;
    // A piece shorter than asked for is the last.
    ended_ = piece_->rows() < asked;
    return piece_->rows() > 0;
}

} // namespace katalox::store
