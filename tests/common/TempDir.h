#pragma once
// A temporary folder for one test, removed with everything in it at the end.
#include <string>

namespace katalox::test {

// The whole content of the file at `path`, byte for byte; empty when it cannot be read.
std::string fileContent(const std::string& path);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's absolute path, without a final separator.
    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string file(const std::string& relative) const;
    // Creates a file (and its folders) with the given content; returns its full path.
    std::string write(const std::string& relative, const std::string& content = {}) const;
    // Creates a folder (and its parents); returns its full path.
    std::string mkdir(const std::string& relative) const;

private:
    std::string path_;
};

} // namespace katalox::test
