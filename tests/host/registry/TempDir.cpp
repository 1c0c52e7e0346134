#include "tests/host/registry/TempDir.h"

#include <fstream>
#include <sys/stat.h>

namespace regtest {

std::string ReadFileBytes(const std::string& fileName) {
    return morvid::test::ReadFile(fileName);
}

void WriteFileBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int FileMode(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<int>(info.st_mode & 07777);
}

} // namespace regtest
