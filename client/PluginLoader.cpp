#include "client/PluginLoader.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <utility>

namespace morvid {

namespace {

// Closes a library on every way out of a stage that does not keep it.
struct TLibraryHandle {
    void* Handle = nullptr;
    ~TLibraryHandle() {
        if (Handle != nullptr) {
            ::dlclose(Handle);
        }
    }
    void* Release() noexcept { return std::exchange(Handle, nullptr); }
};

std::string DlError(const char* fallback) {
    const char* text = ::dlerror();
    return text != nullptr ? text : fallback;
}

bool IsPluginFileName(const std::filesystem::path& path) {
    return path.extension() == ".so";
}

} // namespace

const char* PluginStageName(TPluginStage stage) noexcept {
    switch (stage) {
    case TPluginStage::Load:
        return "load";
    case TPluginStage::ReadDescription:
        return "read description";
    case TPluginStage::Resolve:
        return "resolve";
    case TPluginStage::Create:
        return "create";
    case TPluginStage::Connect:
        return "connect";
    case TPluginStage::Disconnect:
        return "disconnect";
    case TPluginStage::LoadSettings:
        return "load settings";
    case TPluginStage::SaveSettings:
        return "save settings";
    }
    return "?";
}

std::string TPluginFailure::Message() const {
    return "Plug-in \"" + FileName + "\" failed to " + PluginStageName(Stage) + ": " + Cause;
}

TPluginLoader::~TPluginLoader() {
    DestroyPlugins();
    while (!FPlugins.empty()) {
        if (FPlugins.back()->Handle != nullptr) {
            ::dlclose(FPlugins.back()->Handle);
        }
        FPlugins.pop_back();
    }
}

std::vector<TPluginFailure> TPluginLoader::LoadFolder(const std::string& folder,
                                                      host::IQuorClient& client) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code entryError;
        if (IsPluginFileName(entry.path()) && entry.is_regular_file(entryError)) {
            files.push_back(entry.path().string());
        }
    }
    std::vector<TPluginFailure> failures;
    if (error) {
        failures.push_back(
            {folder, TPluginStage::Load, "cannot list the folder: " + error.message()});
        return failures;
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        TPluginFailure failure;
        if (!LoadFile(file, client, failure)) {
            failures.push_back(std::move(failure));
        }
    }
    return failures;
}

bool TPluginLoader::LoadFile(const std::string& fileName, host::IQuorClient& client,
                             TPluginFailure& failure) {
    failure = {fileName, TPluginStage::Load, {}};
    auto fail = [&failure](TPluginStage stage, std::string cause) {
        failure.Stage = stage;
        failure.Cause = std::move(cause);
        return false;
    };

    // Every symbol is bound now: a library built against a newer host is refused here instead
    // of ending the process at its first call to what this host lacks. Its own symbols stay
    // private, so two plug-ins never bind to each other's code.
    ::dlerror();
    TLibraryHandle library{::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL)};
    if (library.Handle == nullptr) {
        return fail(TPluginStage::Load, DlError("cannot open the library"));
    }

    auto loaded = std::make_unique<TLoadedPlugin>();
    loaded->FileName = fileName;
    void* entry = ::dlsym(library.Handle, host::GetPluginInfoName);
    if (entry == nullptr) {
        return fail(TPluginStage::ReadDescription,
                    std::string("no entry point ") + host::GetPluginInfoName);
    }
    const auto getPluginInfo = reinterpret_cast<host::TGetPluginInfoProc>(entry);
    std::string cause;
    if (!Guard([&] { getPluginInfo(loaded->Info); }, cause)) {
        return fail(TPluginStage::ReadDescription, cause);
    }

    const host::TQuorClientPluginInfo& info = loaded->Info;
    if (info.Signature != host::QuorPluginSignature) {
        return fail(TPluginStage::Resolve,
                    rtl::Format("not a plug-in description this host reads (signature 0x%02X)",
                                unsigned(info.Signature)));
    }
    if (info.InterfaceMajor != PluginInterfaceMajor) {
        return fail(TPluginStage::Resolve,
                    rtl::Format("built for plug-in interface %u.%u; this host offers %u.x",
                                unsigned(info.InterfaceMajor), unsigned(info.InterfaceMinor),
                                unsigned(PluginInterfaceMajor)));
    }
    if (info.ShortName.empty()) {
        return fail(TPluginStage::Resolve, "the description gives no short name");
    }
    // The short name is also the plug-in's settings key: two of one name would share it.
    if (ShortNameTaken(info.ShortName)) {
        return fail(TPluginStage::Resolve,
                    "another plug-in already has the name \"" + info.ShortName + "\"");
    }
    if (info.PluginClass == nullptr || info.PluginClass->Create == nullptr) {
        return fail(TPluginStage::Resolve, "the description names no plug-in class");
    }

    if (info.AutoCreate != 0) {
        if (!Guard([&] { loaded->Plugin = host::CreateClientPlugin(loaded->Info, client); },
                   cause)) {
            return fail(TPluginStage::Create, cause);
        }
    }
    loaded->Handle = library.Release();
    FPlugins.push_back(std::move(loaded));
    return true;
}

bool TPluginLoader::ShortNameTaken(const std::string& shortName) const {
    return std::any_of(FPlugins.begin(), FPlugins.end(), [&](const auto& loaded) {
        return rtl::SameText(loaded->Info.ShortName, shortName);
    });
}

std::vector<TPluginFailure> TPluginLoader::ConnectAll() {
    return ForEachPlugin(TPluginStage::Connect,
                         [](TLoadedPlugin& loaded) { loaded.Plugin->DoConnected(); });
}

std::vector<TPluginFailure> TPluginLoader::DisconnectAll() {
    return ForEachPlugin(TPluginStage::Disconnect,
                         [](TLoadedPlugin& loaded) { loaded.Plugin->DoDisconnected(); });
}

void TPluginLoader::DestroyPlugins() noexcept {
    for (auto it = FPlugins.rbegin(); it != FPlugins.rend(); ++it) {
        std::string cause;
        // A destructor that raises ends the process anyway; the guard keeps this noexcept.
        Guard([&] { (*it)->Plugin.reset(); }, cause);
    }
}

} // namespace morvid
