#include "store/search/ListingPlanner.h"

#include "platform/Error.h"
#include "store/search/DotGramListing.h"
#include "store/search/DotGrams.h"
#include "store/search/EveryRecord.h"
#include "store/search/LikePattern.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <vector>

namespace katalox::store {

namespace {

bool isIndexedField(const std::string& field) {
    return ::strcasecmp(field.c_str(), "File Name") == 0 ||
           ::strcasecmp(field.c_str(), "File Path") == 0;
}

// The trigrams of every pattern the index can serve: all the tests must hold, so a record
// listed holds every one of them.
std::vector<std::string> servedTrigrams(const std::vector<LikeTest>& tests) {
    std::vector<std::string> trigrams;
    for (const LikeTest& test : tests) {
        if (test.escaped || !isIndexedField(test.field) ||
            test.pattern.find('\0') != std::string::npos)
            continue;
        for (std::string& trigram : trigramsOf(test.pattern)) {
            if (std::find(trigrams.begin(), trigrams.end(), trigram) == trigrams.end())
                trigrams.push_back(std::move(trigram));
        }
    }
    return trigrams;
}

bool isPathField(const std::string& field) {
    return ::strcasecmp(field.c_str(), "File Path") == 0;
}

// The token after a dot that proves the one test of a File Mask listing; every other test
// matches any text.
std::optional<std::string> provingDotGram(const std::vector<LikeTest>& tests) {
    std::optional<std::string> gram;
    for (const LikeTest& test : tests) {
        if (test.escaped || !isIndexedField(test.field) ||
            test.pattern.find('\0') != std::string::npos)
            return std::nullopt;
        if (matchesAnyText(test.pattern))
            continue;
        if (gram || !isPathField(test.field) || !(gram = dotGramOfPattern(test.pattern)))
            return std::nullopt;
    }
    return gram;
}

// True when the engine runs the statement as written by scanning the table in row id order;
// with an index search the rows come in that index's order and the statement runs as written.
bool scansInRowIdOrder(Database& db, const WholeRowSelect& select) {
    Statement plan =
        db.prepare("EXPLAIN QUERY PLAN SELECT rowid FROM " + select.table + select.rest);
    while (plan.step()) {
        if (plan.columnValue(3).asString().find(" USING ") != std::string::npos)
            return false;
    }
    return true;
}

// A term of a full-text query: the text matched exactly, whatever characters it holds.
std::string queryTerm(const std::string& text) {
    return quoted(text, '"');
}

// The full-text query for the records holding the rarest of `trigrams` (in either field). A
// trigram held by many records narrows little and costs much, so each is first counted up to
// a small number; once enough are counted, the next need counting only as far as the rarest
// kept so far, which spares reading the long lists of common trigrams; and once the kept ones
// are each held by few records, their candidates are few whatever the others hold.
struct MatchQuery {
    std::string query;
    // How many records hold the rarest trigram chosen, when counted to the end; none when
    // there were more than the counting went to.
    std::optional<std::int64_t> fewest;
};

MatchQuery matchQuery(Database& db, const SearchIndexNames& names,
                      const std::vector<std::string>& trigrams) {
    constexpr std::int64_t kCountedUpTo = 2000;
    constexpr std::size_t kTrigramsUsed = 3;
    constexpr std::int64_t kFewEnough = 100;
    Statement counting = db.prepare("SELECT count(*) FROM (SELECT rowid FROM " + names.index +
                                    " WHERE " + names.index + " MATCH ?1 LIMIT ?2)");
    std::vector<std::pair<std::int64_t, std::string>> ranked; // kept sorted, rarest first
    for (const std::string& trigram : trigrams) {
        if (ranked.size() == kTrigramsUsed && ranked.back().first <= kFewEnough)
            break;
        // A count as high as the last one kept could not displace it (earlier ones win ties).
        const std::int64_t enough =
            ranked.size() < kTrigramsUsed ? kCountedUpTo : ranked.back().first;
        std::string term = queryTerm(trigram);
        counting.reset();
        counting.bindText(1, term);
        counting.bindInteger(2, enough);
        counting.step();
        const std::int64_t count = counting.columnInteger(0);
        if (ranked.size() == kTrigramsUsed && count >= enough)
            continue;
        const auto place = std::upper_bound(
            ranked.begin(), ranked.end(), count,
            [](std::int64_t value, const auto& kept) { return value < kept.first; });
        ranked.insert(place, {count, std::move(term)});
        if (ranked.size() > kTrigramsUsed)
            ranked.pop_back();
    }
    MatchQuery match;
    for (std::size_t i = 0; i < ranked.size(); ++i)
        match.query += (i > 0 ? " AND " : "") + ranked[i].second;
    if (!ranked.empty() && ranked.front().first < kCountedUpTo)
        match.fewest = ranked.front().first;
    return match;
}

// The lowest and highest row id of `table` (both 0 when it is empty), in one statement whose
// two parts each read one end of the table.
struct RowIdSpan {
    std::int64_t oldest = 0;
    std::int64_t newest = 0;
};

RowIdSpan rowIdSpan(Database& db, const std::string& table) {
    Statement span = db.prepare("SELECT (SELECT min(rowid) FROM " + table +
                                "), (SELECT max(rowid) FROM " + table + ")");
    if (!span.step())
        return {};
    return {span.columnInteger(0), span.columnInteger(1)};
}

// True when the index narrows the table enough that reading its candidates one by one, with
// the records above the mark that it does not hold yet, beats one pass over the table.
// `candidates` selects them with the query as its one parameter; they are counted only when
// the rarest trigram's count does not already tell.
bool narrowsEnough(Database& db, const RowIdSpan& span, const std::string& candidates,
                   const MatchQuery& match, std::int64_t mark) {
    const std::int64_t unindexed = span.newest <= mark  ? 0
                                   : mark < span.oldest ? span.newest - span.oldest + 1
                                                        : span.newest - mark;
    const std::int64_t limit = (span.newest - span.oldest) / 5 + 1 - unindexed;
    if (limit <= 0)
        return false;
    if (match.fewest && *match.fewest <= limit)
        return true;
    return db.integerOf("SELECT count(*) FROM (" + candidates + " LIMIT ?2)",
                        {Value(match.query), Value(limit + 1)}) <= limit;
}

} // namespace

ListingPlan planListing(Database& db, const WholeRowSelect& select) {
    ListingPlan plan;
    plan.clauses = select.rest;
    if (!select.likes)
        return plan;
    const std::vector<LikeTest>& tests = select.likes->tests;
    try {
        if (!scansInRowIdOrder(db, select))
            return plan;
    } catch (const EngineError&) {
        return plan;
    }
    const std::string& conditions = select.likes->conditions;
    plan.everyRecord = std::all_of(tests.begin(), tests.end(), [](const LikeTest& test) {
        return !test.escaped && isIndexedField(test.field) && matchesAnyText(test.pattern);
    });
    const std::vector<std::string> trigrams = servedTrigrams(tests);
    const std::optional<std::string> gram = provingDotGram(tests);
    const IndexMark mark =
        trigrams.empty() && !gram ? IndexMark{} : searchIndexMark(db, select.table);
    if (!mark.present) {
        plan.scanConditions = conditions;
        return plan;
    }
    if (gram) {
        try {
            plan.blocks =
                dotGramBlocks(db, select.table, conditions, *gram, mark.upTo, kListingBlockRows);
        } catch (const EngineError&) {
            plan.blocks.reset();
        }
        if (plan.blocks || trigrams.empty()) {
            plan.scanConditions = conditions;
            return plan;
        }
    }
    const SearchIndexNames names(select.table);
    const std::string matching =
        "SELECT rowid FROM " + names.index + " WHERE " + names.index + " MATCH ?1";
    MatchQuery match;
    RowIdSpan span;
    try {
        match = matchQuery(db, names, trigrams);
        span = rowIdSpan(db, select.table);
        if (!narrowsEnough(db, span, matching, match, mark.upTo)) {
            plan.scanConditions = conditions;
            return plan;
        }
    } catch (const EngineError&) {
        return plan;
    }
    std::string candidates = "rowid IN (" + matching + ")";
    plan.parameters = {Value(match.query)};
    // Records the builder has not reached yet are searched without the index.
    if (span.newest > mark.upTo) {
        candidates = "(" + candidates + " OR rowid > ?2)";
        plan.parameters.push_back(Value(mark.upTo));
    }
    plan.clauses = " WHERE " + candidates + " AND (" + conditions + ") ORDER BY rowid";
    plan.indexUsed = true;
    return plan;
}

} // namespace katalox::store
