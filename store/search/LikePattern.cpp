#include "store/search/LikePattern.h"

#include <algorithm>

namespace katalox::store {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The pattern's literal runs, each as the byte offsets where its characters start and end.
std::vector<std::vector<std::size_t>> literalRuns(const std::string& pattern) {
    std::vector<std::vector<std::size_t>> runs(1);
    std::size_t i = 0;
    while (i < pattern.size()) {
        const auto c = static_cast<unsigned char>(pattern[i]);
        if (c == '%' || c == '_') {
            if (!runs.back().empty())
                runs.emplace_back();
            ++i;
            continue;
        }
        if (runs.back().empty())
            runs.back().push_back(i);
        ++i;
        if (c >= 0xC0) {
            while (i < pattern.size() && isContinuation(static_cast<unsigned char>(pattern[i])))
                ++i;
        }
        runs.back().push_back(i);
    }
    return runs;
}

} // namespace

std::vector<std::string> trigramsOf(const std::string& likePattern) {
    std::vector<std::string> trigrams;
    for (const auto& bounds : literalRuns(likePattern)) {
        for (std::size_t k = 0; k + 3 < bounds.size(); ++k) {
            std::string trigram = likePattern.substr(bounds[k], bounds[k + 3] - bounds[k]);
            if (std::find(trigrams.begin(), trigrams.end(), trigram) == trigrams.end())
                trigrams.push_back(std::move(trigram));
        }
    }
    return trigrams;
}

} // namespace katalox::store
