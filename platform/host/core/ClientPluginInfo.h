// The description record a plug-in library fills for the host, the class reference from which
// the host creates the plug-in object, and the entry point's signature.
#pragma once

#include "platform/host/core/Export.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <memory>
#include <string>

namespace host {

class IQuorClient;
class TQuorClientPlugin;
struct TQuorClientPluginInfo;

class EQuorPluginError : public rtl::Exception {
public:
    using Exception::Exception;
};

// A class reference: the class's name and its virtual constructor. The created object belongs
// to the caller, who deletes it through TQuorClientPlugin's virtual destructor.
struct TQuorClientPluginClass {
    const char* ClassName;
    TQuorClientPlugin* (*Create)(TQuorClientPluginInfo& info, IQuorClient& client);
};

// The class reference of T, one per class for the life of the library that defines it:
//   info.PluginClass = &PluginClassOf<TMyPlugin>("TMyPlugin");
// T needs a constructor (TQuorClientPluginInfo&, IQuorClient&). The name given first is kept.
template <class T> const TQuorClientPluginClass& PluginClassOf(const char* className) {
    static const TQuorClientPluginClass reference{
        className, [](TQuorClientPluginInfo& info, IQuorClient& client) -> TQuorClientPlugin* {
            return new T(info, client);
        }};
    return reference;
}

// The first byte of every record this host accepts.
inline constexpr std::uint8_t QuorPluginSignature = 0x66;

// Filled in place by the plug-in's GetPluginInfo, field by field in this order; the host
// reads it before it creates anything. Reserved is the host's and is not written.
struct QUOR_EXPORT TQuorClientPluginInfo {
    std::uint8_t Signature = 0;      // QuorPluginSignature
    std::uint8_t InterfaceMajor = 0; // version of the plug-in interface the library was built for
    std::uint8_t InterfaceMinor = 0;
    std::uint8_t Reserved = 0;
    std::string ShortName; // also the name of the plug-in's settings key
    std::string Version;   // DateToVersion of the build
    std::string Language;
    std::string Title;
    std::string Description;
    const TQuorClientPluginClass* PluginClass = nullptr;
    std::uint8_t AutoCreate = 0; // 1: create the plug-in object when the library is loaded
};

// extern "C" void GetPluginInfo(host::TQuorClientPluginInfo& info), looked up by this name.
using TGetPluginInfoProc = void (*)(TQuorClientPluginInfo& info);
inline constexpr const char* GetPluginInfoName = "GetPluginInfo";

// Creates the plug-in object the record names. Raises EQuorPluginError naming the plug-in and
// the cause when the record is not one this host reads or carries no usable class reference,
// and passes on what the plug-in's constructor raises.
QUOR_EXPORT std::unique_ptr<TQuorClientPlugin> CreateClientPlugin(TQuorClientPluginInfo& info,
                                                                  IQuorClient& client);

} // namespace host
