#pragma once
// The statement texts of the Disk ID tree and of the listing, as lines for the statement
// object. Pure functions, so the exact texts can be checked.
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

// The listing's inputs as the user typed them; upper-casing happens here.
struct ListingFilters {
    std::string fileName; // Edit1
    std::string mask;     // ComboBox1
    std::string path;     // Edit2
    // The selected Disk ID, compared unchanged; no value lists every disk.
    std::optional<std::string> diskId;
};

// The distinct Disk IDs in ascending order.
std::vector<std::string> diskIdTreeStatement();

// The all-disks statement (four lines) or the Disk ID statement (five lines). The mask line
// asks for a dot followed by the mask, or matches every path when the mask is empty.
std::vector<std::string> listingStatement(const ListingFilters& filters);

// The Disk ID comparison after `Like`: the value as a constant of the statement text. A Disk ID
// holding a pattern character is matched literally through an escape character.
std::string literalLikePattern(const std::string& value);

} // namespace katalox::store
