#include "client/JournalStream.h"

#include <cinttypes>
#include <cstdio>
#include <sys/stat.h>

namespace morvid {

bool IsJournalStream(int fd, const char* journalStream) {
    if (journalStream == nullptr) {
        return false;
    }
    std::uintmax_t device = 0;
    std::uintmax_t inode = 0;
    int consumed = 0;
    if (std::sscanf(journalStream, "%" SCNuMAX ":%" SCNuMAX "%n", &device, &inode, &consumed) !=
            2 ||
        journalStream[consumed] != '\0') {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return false;
    }
    return std::uintmax_t(status.st_dev) == device && std::uintmax_t(status.st_ino) == inode;
}

} // namespace morvid
