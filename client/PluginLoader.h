// Loads the client's plug-in libraries with dlopen, stage by stage, and keeps each library with
// its description record and plug-in object. A plug-in that fails is reported and left out; the
// others go on.
#pragma once

#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/ClientPluginInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morvid {

// Where a plug-in is on its way in, and where its later calls go. The library is loaded before
// its description can be read: the record is filled by code in the library.
enum class TPluginStage : std::uint8_t {
    Load,            // dlopen with every symbol bound at once
    ReadDescription, // GetPluginInfo fills the record
    Resolve,         // the record is one this host takes, under a name no other plug-in has
    Create,          // the object of the record's class
    Connect,         // DoConnected
    Disconnect,      // DoDisconnected
    LoadSettings,    // HandleSettings, loading
    SaveSettings     // HandleSettings, saving
};

// "load", "read description", "resolve", "create", "connect", "disconnect", "load settings",
// "save settings".
const char* PluginStageName(TPluginStage stage) noexcept;

struct TPluginFailure {
    std::string FileName;
    TPluginStage Stage = TPluginStage::Load;
    std::string Cause;

    // Plug-in "<file>" failed to <stage>: <cause>
    std::string Message() const;
};

// One library that passed every stage up to the one it is in now.
struct TLoadedPlugin {
    std::string FileName;
    host::TQuorClientPluginInfo Info;
    std::unique_ptr<host::TQuorClientPlugin> Plugin; // nullptr when the record asks for none
    // Cleared when loading its settings failed: saving them then would overwrite what is stored
    // with the part that was read.
    bool SettingsLoaded = false;
    void* Handle = nullptr;
};

// The interface major version this host is built for; records with another are refused.
inline constexpr std::uint8_t PluginInterfaceMajor = 0;

class TPluginLoader {
public:
    TPluginLoader() = default;
    // DestroyPlugins, then closes the libraries, last loaded first.
    ~TPluginLoader();
    TPluginLoader(const TPluginLoader&) = delete;
    TPluginLoader& operator=(const TPluginLoader&) = delete;

    // Every regular file named *.so in the folder, in name order, each created for `client`.
    // Returns the failures.
    std::vector<TPluginFailure> LoadFolder(const std::string& folder, host::IQuorClient& client);
    // One library through the stages up to Create; false with the failure filled in.
    bool LoadFile(const std::string& fileName, host::IQuorClient& client, TPluginFailure& failure);

    int Count() const noexcept { return static_cast<int>(FPlugins.size()); }
    TLoadedPlugin& Plugins(int index) const { return *FPlugins.at(std::size_t(index)); }

    // Calls `call` on every plug-in object in load order; what one raises becomes a failure at
    // `stage` naming its file, and the others are still called.
    template <class F> std::vector<TPluginFailure> ForEachPlugin(TPluginStage stage, F call) {
        std::vector<TPluginFailure> failures;
        for (const auto& loaded : FPlugins) {
            if (loaded->Plugin != nullptr) {
                std::string cause;
                if (!Guard([&] { call(*loaded); }, cause)) {
                    failures.push_back({loaded->FileName, stage, cause});
                }
            }
        }
        return failures;
    }

    std::vector<TPluginFailure> ConnectAll();
    std::vector<TPluginFailure> DisconnectAll();

    // Destroys the plug-in objects, last created first, and keeps the libraries loaded: code of
    // a library may still be referred to by the application object (Qt's type registry), so
    // the owner closes them only after that is gone, by destroying the loader.
    void DestroyPlugins() noexcept;

private:
    // Runs `action`; false with the message of what it raised.
    template <class F> static bool Guard(F action, std::string& cause) noexcept {
        try {
            action();
            return true;
        } catch (const std::exception& e) {
            cause = e.what();
        } catch (...) {
            cause = "unknown exception";
        }
        if (cause.empty()) {
            cause = "exception without a message";
        }
        return false;
    }
    bool ShortNameTaken(const std::string& shortName) const;

    std::vector<std::unique_ptr<TLoadedPlugin>> FPlugins;
};

} // namespace morvid
