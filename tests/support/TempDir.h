// A fresh folder per test below the system's temporary folder, removed with everything in it,
// and reading a whole file back.
#pragma once

#include <string>
#include <vector>

namespace morvid::test {

class TTempDir {
public:
    // The folder's name starts with `prefix`; the rest is made unique.
    explicit TTempDir(const std::string& prefix = "morvid-test");
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const noexcept { return FPath; }
    std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

// The whole content of a file, bytes as they are; empty for a missing file.
std::string ReadFile(const std::string& path);
// Names of the entries of a folder, hidden ones included, sorted; empty for a missing folder.
std::vector<std::string> ListDir(const std::string& path);

} // namespace morvid::test
