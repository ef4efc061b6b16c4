#pragma once
// Test files of generated content, and a content change that the file's time does not show.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace katalox::test {

// `size` bytes that depend on `seed`: contents that differ from seed to seed.
inline std::string bytesOf(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

// Changes one byte of the file in place and gives it back its time: only its content differs.
inline void flipByteKeepingTime(const std::string& path, std::size_t at) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(at));
    const char byte = static_cast<char>(file.get() ^ 1);
    file.seekp(static_cast<std::streamoff>(at));
    file.put(byte);
    file.close();
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

} // namespace katalox::test
