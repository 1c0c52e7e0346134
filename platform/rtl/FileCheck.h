// The look a program takes at a file it was named before it opens it: a FIFO would hold the open
// until a writer comes, for ever, and a folder or a device is no file of ours at all.
#pragma once

#include <string>

namespace rtl {

// Empty when `fileName` names a regular file (links followed) or nothing at all; otherwise what
// stands there instead, to follow the file's name in a message: "is not a regular file but a
// FIFO". Only looks (stat), so a device is not opened and a FIFO never blocks.
std::string NotRegularFile(const std::string& fileName);

} // namespace rtl
