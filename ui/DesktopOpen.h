// Handing a file or folder to the desktop's program for it, and saying why that failed when it
// did: Qt only answers yes or no.
#pragma once

#include <string>

namespace morvid {

// Opens the local file or folder with the desktop's program; false when nothing took it.
bool OpenWithDesktop(const std::string& path);

// Why the desktop took nothing, as far as can be told: no desktop session to show it in, or
// xdg-open missing, or no program set for that kind of file.
std::string DesktopOpenFailure();

} // namespace morvid
