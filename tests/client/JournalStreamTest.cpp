#include "client/JournalStream.h"

#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace morvid {
namespace {

// An open file standing in for the journal's socket, and its JOURNAL_STREAM value.
struct TOpenFile {
    explicit TOpenFile(const std::string& path) : Fd(::open(path.c_str(), O_CREAT | O_RDWR, 0600)) {
        struct stat status {};
        ::fstat(Fd, &status);
        Stream = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    }
    ~TOpenFile() { ::close(Fd); }
    int Fd;
    std::string Stream;
};

TEST(JournalStream, OnlyTheFileSystemdNamedIsTheJournal) {
    const test::TTempDir dir;
    const TOpenFile journal(dir.File("journal"));
    const TOpenFile other(dir.File("other"));
    ASSERT_GE(journal.Fd, 0);
    ASSERT_GE(other.Fd, 0);
    struct TCase {
        int Fd;
        std::optional<std::string> Stream;
        bool Expected;
    };
    const std::vector<TCase> cases = {
        {journal.Fd, journal.Stream, true},
        {other.Fd, journal.Stream, false}, // redirected by the service
        {journal.Fd, std::nullopt, false}, // not started by systemd
        {journal.Fd, "", false},
        {journal.Fd, "12", false},
        {journal.Fd, journal.Stream + "x", false},
        {journal.Fd, journal.Stream + ":1", false},
        {-1, journal.Stream, false}, // a closed stream
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Stream.value_or("(none)"));
        EXPECT_EQ(IsJournalStream(c.Fd, c.Stream ? c.Stream->c_str() : nullptr), c.Expected);
    }
}

} // namespace
} // namespace morvid
