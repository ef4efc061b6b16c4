#include "store/search/IndexedListing.h"

#include "platform/Error.h"
#include "store/sqlite/Database.h"
#include "store/search/DotGramListing.h"
#include "store/search/DotGrams.h"
#include "store/search/EveryRecord.h"
#include "store/dataset/KeyedResult.h"
#include "store/search/LikePattern.h"
#include "store/search/SearchIndex.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <vector>

namespace katalox::store {

namespace {

struct LikeTest {
    std::string field;
    std::string pattern;
    bool escaped = false;
};

// Reads `where <field> like '<text>' [escape '<text>'] [and ...]` to its end; empty for
// anything else (or, not, brackets, order by ...), whose conditions the index cannot rely on.
class ConjunctionReader {
public:
    explicit ConjunctionReader(const std::string& text) : text_(text) {}

    std::optional<std::vector<LikeTest>> read(std::size_t& conditionsStart) {
        if (!keyword("where"))
            return std::nullopt;
        conditionsStart = at_;
        std::vector<LikeTest> tests;
        do {
            LikeTest test;
            if (!identifier(test.field) || !keyword("like") || !literal(test.pattern))
                return std::nullopt;
            if (keyword("escape")) {
                std::string escape;
                if (!literal(escape))
                    return std::nullopt;
                test.escaped = true;
            }
            tests.push_back(std::move(test));
        } while (keyword("and"));
        skipSpace();
        if (at_ != text_.size())
            return std::nullopt;
        return tests;
    }

private:
    void skipSpace() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
            ++at_;
    }

    bool keyword(const char* word) {
        skipSpace();
        const std::size_t length = std::strlen(word);
        if (text_.size() - at_ < length || ::strncasecmp(text_.c_str() + at_, word, length) != 0)
            return false;
        const std::size_t end = at_ + length;
        if (end < text_.size() &&
            (std::isalnum(static_cast<unsigned char>(text_[end])) || text_[end] == '_'))
            return false;
        at_ = end;
        return true;
    }

    bool quoted(char quote, std::string& value) {
        skipSpace();
        if (at_ >= text_.size() || text_[at_] != quote)
            return false;
        value.clear();
        for (std::size_t i = at_ + 1; i < text_.size(); ++i) {
            if (text_[i] != quote) {
                value += text_[i];
            } else if (i + 1 < text_.size() && text_[i + 1] == quote) {
                value += quote;
                ++i;
            } else {
                at_ = i + 1;
                return true;
            }
        }
        return false;
    }

    bool identifier(std::string& name) { return quoted('"', name); }
    bool literal(std::string& value) { return quoted('\'', value); }

    const std::string& text_;
    std::size_t at_ = 0;
};

std::string sqlText(const std::string& value) {
    std::string literal = "'";
    for (const char c : value) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    return literal + "'";
}

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

std::int64_t firstInteger(Database& db, const std::string& sql) {
    Statement statement = db.prepare(sql);
    return statement.step() ? statement.columnInteger(0) : 0;
}

std::string quotedTerm(const std::string& trigram) {
    std::string term = "\"";
    for (const char c : trigram) {
        term += c;
        if (c == '"')
            term += '"';
    }
    return term + "\"";
}

// The index query for the records holding the rarest of `trigrams` (in either field). A
// trigram held by many records narrows little and costs much, so each is first counted up to
// a small number.
std::string matchQuery(Database& db, const SearchIndexNames& names,
                       const std::vector<std::string>& trigrams) {
    constexpr int kCountedUpTo = 2000;
    constexpr std::size_t kTrigramsUsed = 3;
    std::vector<std::pair<std::int64_t, std::string>> ranked;
    for (const std::string& trigram : trigrams) {
        const std::string term = quotedTerm(trigram);
        ranked.emplace_back(firstInteger(db, "SELECT count(*) FROM (SELECT rowid FROM " +
                                                 names.index + " WHERE " + names.index + " MATCH " +
                                                 sqlText(term) + " LIMIT " +
                                                 std::to_string(kCountedUpTo) + ")"),
                            term);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string query;
    for (std::size_t i = 0; i < std::min(kTrigramsUsed, ranked.size()); ++i)
        query += (i > 0 ? " AND " : "") + ranked[i].second;
    return query;
}

// True when the index narrows the table enough that reading its candidates one by one, with
// the records above the mark that it does not hold yet, beats one pass over the table.
bool narrowsEnough(Database& db, const std::string& table, const std::string& candidates,
                   std::int64_t mark) {
    const std::int64_t oldest = firstInteger(db, "SELECT min(rowid) FROM " + table);
    const std::int64_t newest = firstInteger(db, "SELECT max(rowid) FROM " + table);
    const std::int64_t unindexed = newest <= mark  ? 0
                                   : mark < oldest ? newest - oldest + 1
                                                   : newest - mark;
    const std::int64_t limit = (newest - oldest) / 5 + 1 - unindexed;
    return limit > 0 && firstInteger(db, "SELECT count(*) FROM (" + candidates + " LIMIT " +
                                             std::to_string(limit + 1) + ")") <= limit;
}

} // namespace

ListingPlan planListing(Database& db, const WholeRowSelect& select) {
    ListingPlan plan;
    plan.clauses = select.rest;
    std::size_t conditionsStart = 0;
    const auto tests = ConjunctionReader(select.rest).read(conditionsStart);
    if (!tests)
        return plan;
    try {
        if (!scansInRowIdOrder(db, select))
            return plan;
    } catch (const EngineError&) {
        return plan;
    }
    const std::string conditions = select.rest.substr(conditionsStart);
    plan.everyRecord = std::all_of(tests->begin(), tests->end(), [](const LikeTest& test) {
        return !test.escaped && isIndexedField(test.field) && matchesAnyText(test.pattern);
    });
    const std::vector<std::string> trigrams = servedTrigrams(*tests);
    const std::optional<std::string> gram = provingDotGram(*tests);
    const IndexMark mark =
        trigrams.empty() && !gram ? IndexMark{} : searchIndexMark(db, select.table);
    if (!mark.present) {
        plan.scanConditions = conditions;
        return plan;
    }
    const SearchIndexNames names(select.table);
    if (gram) {
        try {
            plan.blocks =
                dotGramBlocks(db, select.table, conditions,
                              "SELECT rowid FROM " + names.dots + " WHERE " + names.dots +
                                  " MATCH " + sqlText(quotedTerm(*gram)) + " ORDER BY rowid",
                              mark.upTo, KeyedResult::blockRows);
        } catch (const EngineError&) {
            plan.blocks.reset();
        }
        if (plan.blocks || trigrams.empty()) {
            plan.scanConditions = conditions;
            return plan;
        }
    }
    std::string matching;
    try {
        matching = "SELECT rowid FROM " + names.index + " WHERE " + names.index + " MATCH " +
                   sqlText(matchQuery(db, names, trigrams));
        if (!narrowsEnough(db, select.table, matching, mark.upTo)) {
            plan.scanConditions = conditions;
            return plan;
        }
    } catch (const EngineError&) {
        return plan;
    }
    std::string candidates = "rowid IN (" + matching + ")";
    // Records the builder has not reached yet are searched without the index.
    if (firstInteger(db, "SELECT max(rowid) FROM " + select.table) > mark.upTo)
        candidates = "(" + candidates + " OR rowid > " + std::to_string(mark.upTo) + ")";
    plan.clauses = " WHERE " + candidates + " AND (" + conditions + ") ORDER BY rowid";
    plan.indexUsed = true;
    return plan;
}

} // namespace katalox::store
