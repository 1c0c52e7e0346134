// GetPluginInfo, the library's one exported entry point, and the values of the description
// record it fills for the host.
#pragma once

#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/core/Export.h"
#include "platform/host/registry/SettingsPaths.h"
#include "platform/rtl/DateUtils.h"

#include <cstdint>

namespace morvid {

// The plug-in's short name; the host also knows its settings key by it.
inline constexpr const char* PluginShortName = host::MorvidSettingsName;
// Leading bytes and the last byte of the record as this library writes them.
inline constexpr std::uint8_t PluginInterfaceMajor = 0;
inline constexpr std::uint8_t PluginInterfaceMinor = 1;
inline constexpr std::uint8_t PluginAutoCreate = 1;

// The moment this release was built; its DateToVersion text is the plug-in's version.
rtl::TDateTime PluginBuildTime();

} // namespace morvid

// Fills the host's record field by field in record order, replacing what it held; the host's
// reserved byte is left alone.
QUOR_PLUGIN_ENTRY void GetPluginInfo(host::TQuorClientPluginInfo& info);
