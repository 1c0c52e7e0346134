#include "platform/rtl/FileCheck.h"

#include <sys/stat.h>

namespace rtl {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "something else";
}

} // namespace

std::string NotRegularFile(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) {
        // Nothing there (the caller may make it), or a path that cannot be looked at: the
        // caller's own open says why.
        return {};
    }
    if (S_ISREG(info.st_mode)) {
        return {};
    }
    return std::string("is not a regular file but ") + KindOf(info.st_mode);
}

} // namespace rtl
