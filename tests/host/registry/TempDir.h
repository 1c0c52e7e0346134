// A fresh folder per test under the system's temporary folder, removed with everything in it,
// and the small file helpers the registry tests share.
#pragma once

#include "tests/support/TempDir.h"

#include <string>

namespace regtest {

using morvid::test::TTempDir;

std::string ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const std::string& bytes);
// Permission bits of a file, or -1 when it does not exist.
int FileMode(const std::string& fileName);

} // namespace regtest
