// Where a user's files live and how their folders come to be: the home folder, and the missing
// folders above a file that the program is about to create.
#pragma once

#include <string>

namespace rtl {

// $HOME, else the password database's entry, else "/".
std::string HomeFolder();

// Creates every missing folder above `fileName`, owner-only; folders that exist stay as they
// are. Returns the folder that could not be made (errno says why), or an empty string.
std::string MakeParentFolders(const std::string& fileName);

} // namespace rtl
