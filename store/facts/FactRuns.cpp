#include "store/facts/FactRuns.h"

#include "store/facts/FactTables.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

void packVarint(std::string& out, std::uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

bool unpackVarint(std::string_view& in, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && !in.empty(); shift += 7) {
        const auto byte = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        value |= std::uint64_t{byte & 0x7fu} << shift;
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

} // namespace

void packFact(std::string& names, std::string& times, std::int64_t& lastTime,
              const FileFact& fact) {
    // A letter-case mask as itself shifted left; a name of its own as its length, odd.
    if (const std::string* bytes = fact.name.text()) {
        packVarint(names, (std::uint64_t{bytes->size()} << 1) | 1);
        names += *bytes;
    } else {
        packVarint(names, static_cast<std::uint64_t>(fact.name.asInteger()) << 1);
    }
    // Files of a folder are often changed together: the difference is small (zigzag).
    const std::int64_t step = fact.modified - lastTime;
    packVarint(times,
               (static_cast<std::uint64_t>(step) << 1) ^ static_cast<std::uint64_t>(step >> 63));
    lastTime = fact.modified;
}

std::vector<FileFact> unpackFacts(std::string_view names, std::string_view times,
                                  std::size_t count) {
    std::vector<FileFact> facts;
    facts.reserve(count);
    std::int64_t time = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t name = 0;
        std::uint64_t step = 0;
        if (!unpackVarint(names, name) || !unpackVarint(times, step))
            break;
        FileFact fact;
        if ((name & 1) != 0) {
            const std::uint64_t length = name >> 1;
            if (length > names.size())
                break;
            fact.name = Value(std::string(names.substr(0, length)));
            names.remove_prefix(length);
        } else {
            fact.name = Value(static_cast<std::int64_t>(name >> 1));
        }
        time += static_cast<std::int64_t>(step >> 1) ^ -static_cast<std::int64_t>(step & 1);
        fact.modified = time;
        facts.push_back(std::move(fact));
    }
    return facts;
}

std::string runHoldingSql(const std::string& record) {
    const std::string facts = quoteIdentifier(kFactsTable);
    return "(SELECT \"First Record\" FROM " + facts + " WHERE \"First Record\" = (SELECT " +
           "max(\"First Record\") FROM " + facts + " WHERE \"First Record\" <= " + record +
           ") AND \"First Record\" + \"Records\" > " + record + ")";
}

std::string factsDroppedSql(const std::string& record) {
    return "EXISTS (SELECT 1 FROM " + quoteIdentifier(kDroppedTable) +
           " WHERE \"Record\" = " + record + ")";
}

} // namespace katalox::store
