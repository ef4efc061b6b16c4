#pragma once
// Errors are exceptions carrying the text the user will see.
#include <stdexcept>
#include <string>

namespace katalox {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A failure of the catalogue engine: missing folder, file, table or field, a rejected statement.
class EngineError : public Error {
public:
    using Error::Error;
};

// A failure to open, read or write a file ("Cannot open file ...", "Cannot create file ...").
class FileError : public Error {
public:
    using Error::Error;
};

} // namespace katalox
