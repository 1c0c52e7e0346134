#include "plugin/RegKeySnapshot.h"

#include "platform/rtl/SysUtils.h"

namespace morvid {

namespace {

// Copies the open key's values, then descends; every sub-key is opened by its full path, since
// a relative open would move the registry's open key away from the one being listed.
void ReadOpenKey(host::TRegistry& registry, const std::string& path, TRegKeySnapshot& key) {
    for (const std::string& name : registry.GetValueNames()) {
        TRegValueSnapshot value;
        value.Name = name;
        value.Type = registry.GetDataType(name);
        switch (value.Type) {
        case host::rdString:
            value.Text = registry.ReadString(name);
            break;
        case host::rdInteger:
            value.Integer = registry.ReadInteger(name);
            break;
        case host::rdBinary:
            value.Binary = registry.ReadBinaryData(name);
            break;
        case host::rdUnknown:
            continue; // deleted meanwhile
        }
        key.Values.push_back(std::move(value));
    }
    for (const std::string& name : registry.GetKeyNames()) {
        const std::string subPath = path + "\\" + name;
        if (!registry.OpenKey(subPath, false)) {
            continue;
        }
        TRegKeySnapshot subKey;
        subKey.Name = name;
        ReadOpenKey(registry, subPath, subKey);
        key.SubKeys.push_back(std::move(subKey));
    }
}

} // namespace

bool TRegKeySnapshot::Read(host::TRegistry& registry, const std::string& path) {
    Values.clear();
    SubKeys.clear();
    if (!registry.OpenKey(path, false)) {
        registry.CloseKey();
        return false;
    }
    try {
        ReadOpenKey(registry, path, *this);
    } catch (...) {
        registry.CloseKey();
        throw;
    }
    registry.CloseKey();
    return true;
}

void TRegKeySnapshot::Write(host::TRegistry& registry, const std::string& path) const {
    if (!registry.OpenKey(path, true)) {
        registry.CloseKey();
        throw host::ERegistryException(rtl::Format("Cannot create key '%s'", path.c_str()));
    }
    try {
        for (const TRegValueSnapshot& value : Values) {
            switch (value.Type) {
            case host::rdString:
                registry.WriteString(value.Name, value.Text);
                break;
            case host::rdInteger:
                registry.WriteInteger(value.Name, value.Integer);
                break;
            case host::rdBinary:
                registry.WriteBinaryData(value.Name, value.Binary);
                break;
            case host::rdUnknown:
                break;
            }
        }
    } catch (...) {
        registry.CloseKey();
        throw;
    }
    registry.CloseKey();
    for (const TRegKeySnapshot& subKey : SubKeys) {
        subKey.Write(registry, path + "\\" + subKey.Name);
    }
}

} // namespace morvid
