// A fresh folder per test under the system's temporary folder, removed with everything in it,
// and the small file helpers the registry tests share.
#pragma once

#include <string>

namespace regtest {

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const noexcept { return FPath; }
    std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

std::string ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const std::string& bytes);
// Permission bits of a file, or -1 when it does not exist.
int FileMode(const std::string& fileName);

} // namespace regtest
