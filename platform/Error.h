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

// The engine could not get at the catalogue because another program holds it ("database is
// locked"): trying again later may succeed, unlike any other engine failure.
class EngineBusyError : public EngineError {
public:
    using EngineError::EngineError;
};

// The disk holding the catalogue is full: nothing more can be written to it for now.
class EngineFullError : public EngineError {
public:
    using EngineError::EngineError;
};

// The catalogue file may be read but not written.
class EngineReadOnlyError : public EngineError {
public:
    using EngineError::EngineError;
};

// A failure to open, read or write a file ("Cannot open file ...", "Cannot create file ...").
class FileError : public Error {
public:
    using Error::Error;
};

} // namespace katalox
