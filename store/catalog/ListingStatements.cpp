#include "store/catalog/ListingStatements.h"

#include "platform/Utf8.h"
#include "store/dialect/Dialect.h"

namespace katalox::store {

std::vector<std::string> diskIdTreeStatement() {
    return {R"(Select Distinct Files."Disk ID" from Files)", R"(Order by Files."Disk ID" asc;)"};
}

std::string literalLikeTail(const std::string& value) {
    if (value.find_first_of("%_") == std::string::npos)
        return doubledQuotes(value) + "\"";
    std::string escaped;
    for (char c : value) {
        if (c == '%' || c == '_' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return doubledQuotes(escaped) + R"(" ESCAPE "\")";
}

std::vector<std::string> listingStatement(const ListingFilters& filters) {
    using platform::upperCase;
    // A mask matches after a dot; no mask matches every path, those without any dot included.
    const std::string maskPattern =
        filters.mask.empty() ? "%" : "%." + doubledQuotes(upperCase(filters.mask));
    std::vector<std::string> lines{
        "select * from Files",
        R"(where Files."File Name" Like "%)" + doubledQuotes(upperCase(filters.fileName)) + R"(%")",
        R"(and Files."File Path" Like ")" + maskPattern + R"(%")",
    };
    const std::string path = doubledQuotes(upperCase(filters.path));
    if (!filters.diskId) {
        lines.push_back(R"(And Files."File Path" Like "%)" + path + R"(%";)");
    } else {
        lines.push_back(R"(and Files."Disk ID" Like ")" + literalLikeTail(*filters.diskId));
        lines.push_back(R"(and Files."File Path" Like "%)" + path + R"(%";)");
    }
    return lines;
}

} // namespace katalox::store
