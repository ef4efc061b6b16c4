#pragma once
// Generated test text, the same on every run: texts made of pieces chosen from a list.
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace katalox::test {

class RandomPieces {
public:
    RandomPieces(const std::vector<std::string>& pieces, unsigned seed)
        : pieces_(pieces), random_(seed) {}

    std::size_t below(std::size_t n) { return random_() % n; }
    bool chance(int percent) { return static_cast<int>(below(100)) < percent; }
    // One to `most` pieces, one after the other.
    std::string pieces(std::size_t most) {
        std::string text;
        for (std::size_t i = below(most) + 1; i > 0; --i)
            text += pieces_[below(pieces_.size())];
        return text;
    }

private:
    const std::vector<std::string>& pieces_;
    std::mt19937 random_;
};

} // namespace katalox::test
