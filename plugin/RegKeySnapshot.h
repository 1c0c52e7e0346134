// TRegKeySnapshot: a registry key copied into memory with its values and sub-keys, so that
// settings this plug-in could not read can be written back unchanged.
#pragma once

#include "platform/host/registry/Registry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvid {

struct TRegValueSnapshot {
    std::string Name{};
    host::TRegDataType Type = host::rdUnknown;
    std::string Text{};                 // rdString
    std::int32_t Integer = 0;           // rdInteger
    std::vector<std::uint8_t> Binary{}; // rdBinary
    bool operator==(const TRegValueSnapshot&) const = default;
};

struct TRegKeySnapshot {
    std::string Name;
    std::vector<TRegValueSnapshot> Values; // in the order the registry lists them
    std::vector<TRegKeySnapshot> SubKeys;
    bool operator==(const TRegKeySnapshot&) const = default;

    // Copies the key at that absolute path; false when it does not open. The registry's open
    // key is the root afterwards. Raises ERegistryException when the store cannot be read.
    bool Read(host::TRegistry& registry, const std::string& path);
    // Creates the key at that absolute path and writes every value and sub-key into it; values
    // of the same names are replaced, others stay. The open key is the root afterwards.
    // Raises ERegistryException when the key cannot be created or a write fails.
    void Write(host::TRegistry& registry, const std::string& path) const;
};

} // namespace morvid
