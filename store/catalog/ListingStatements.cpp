#include "store/catalog/ListingStatements.h"

#include "platform/Utf8.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

std::vector<std::string> diskIdTreeStatement() {
    return {R"(Select Distinct Files."Disk ID" from Files)", R"(Order by Files."Disk ID" asc;)"};
}

std::string literalLikePattern(const std::string& value) {
    if (value.find_first_of("%_") == std::string::npos)
        return quoted(value, '"');
    std::string escaped;
    for (char c : value) {
        if (c == '%' || c == '_' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return quoted(escaped, '"') + R"( ESCAPE "\")";
}

std::vector<std::string> listingStatement(const ListingFilters& filters) {
    using platform::upperCase;
    // Constants of the statement text: the dialect doubles a double quote inside one.
    const auto constant = [](const std::string& text) { return quoted(text, '"'); };
    // A mask matches after a dot; no mask matches every path, those without any dot included.
    const std::string maskPattern = filters.mask.empty() ? "%" : "%." + upperCase(filters.mask);
    std::vector<std::string> lines{
        "select * from Files",
        R"(where Files."File Name" Like )" + constant("%" + upperCase(filters.fileName) + "%"),
        R"(and Files."File Path" Like )" + constant(maskPattern + "%"),
    };
    const std::string path = constant("%" + upperCase(filters.path) + "%");
    if (!filters.diskId) {
        lines.push_back(R"(And Files."File Path" Like )" + path + ";");
    } else {
        lines.push_back(R"(and Files."Disk ID" Like )" + literalLikePattern(*filters.diskId));
        lines.push_back(R"(and Files."File Path" Like )" + path + ";");
    }
    return lines;
}

} // namespace katalox::store
