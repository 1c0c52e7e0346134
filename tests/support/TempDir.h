// A fresh folder per test below the system's temporary folder, removed with everything in it,
// and reading a whole file back.
#pragma once

#include <filesystem>
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

// The same folder for tests that work with std::filesystem paths.
class TScratchDir : public TTempDir {
public:
    explicit TScratchDir(const std::string& prefix = "morvid-test") : TTempDir(prefix) {}

    std::filesystem::path Path() const { return TTempDir::Path(); }
    // Names of the entries in the folder, hidden ones included, sorted.
    std::vector<std::string> Entries() const;
};

// The whole content of a file, bytes as they are; empty for a missing file.
std::string ReadFile(const std::string& path);
// Names of the entries of a folder, hidden ones included, sorted; empty for a missing folder.
std::vector<std::string> ListDir(const std::string& path);

} // namespace morvid::test
