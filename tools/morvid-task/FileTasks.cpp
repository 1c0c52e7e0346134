// The tasks of a settings file no client holds: the plug-ins loaded as the client loads them,
// offline (nothing is armed, nothing runs), the file locked as a client locks it, every change
// saved at once in one transaction.
#include "client/ClientHost.h"
#include "client/ClientOptions.h"
#include "client/PluginLoader.h"
#include "client/TaskFields.h"
#include "client/TaskOperations.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/core/TaskControl.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsLock.h"
#include "platform/host/server/ServerReportLoader.h"
#include "tools/morvid-task/ReportCatalog.h"
#include "tools/morvid-task/TaskStore.h"

#include <filesystem>

namespace morvid {

namespace {

class TFileTasks final : public TTaskStore, public host::IQuorClient {
public:
    TFileTasks(const TClientOptions& options, TPluginLoader& loader, bool readOnly)
        : FLock(LockSettings(options.SettingsFile)), FRegistry(options.SettingsFile, readOnly),
          FLoader(loader), FServerFile(options.ServerFile) {
        // The editor's checks want the server's reports; a missing server has none to offer.
        std::error_code error;
        FServerMissing = !std::filesystem::exists(options.ServerFile, error);
        if (!FServerMissing) {
            host::LoadServerReports(options.ServerFile, FReports);
        }
        for (const TPluginFailure& failure : FLoader.LoadFolder(options.PluginDir, *this)) {
            throw rtl::Exception(failure.Message());
        }
        host::TRegistryTransaction transaction(FRegistry);
        for (int i = 0; i < FLoader.Count() && FTasks == nullptr; ++i) {
            TLoadedPlugin& loaded = FLoader.Plugins(i);
            if (host::ITaskControl* tasks = host::TaskControl(loaded.Plugin.get())) {
                FRegistry.CloseKey();
                loaded.Plugin->HandleSettings(FRegistry, ClientSettingsRoot, false);
                FPlugin = loaded.Plugin.get();
                FTasks = tasks;
            }
        }
        FRegistry.CloseKey();
        transaction.Commit();
        if (FTasks == nullptr) {
            throw rtl::Exception("no plug-in with report tasks in \"" + options.PluginDir + "\"");
        }
    }
    ~TFileTasks() override { FLoader.DestroyPlugins(); }

    host::THostObject* GetObject(const std::string&) override { return nullptr; }
    std::uint8_t GetConnectionState() override { return 0; }
    host::TSysObjectList& GetReports() override { return FReports; }

    bool Running() const override { return false; }
    QList<QVariantMap> List() override {
        return Guarded([&] {
            QList<QVariantMap> list;
            for (const host::TTaskData& task : FTasks->Tasks()) {
                list << TaskFieldMap(task);
            }
            return list;
        });
    }
    QString Add(const QVariantMap& fields) override {
        return Saved([&] { return AddTaskFields(*FTasks, fields); });
    }
    void Set(const QString& id, const QVariantMap& fields) override {
        Saved([&] { SetTaskFields(*FTasks, id, fields); });
    }
    void Remove(const QString& id) override {
        Saved([&] { FTasks->RemoveTask(id.toStdString()); });
    }
    void SetEnabled(const QString& id, bool enabled) override {
        Saved([&] { SetTaskEnabled(*FTasks, id, enabled); });
    }
    std::optional<TRunEnd> Run(const QString&, bool) override {
        throw rtl::Exception("no client runs on the settings; a run needs one (quor-client)");
    }
    QStringList Import(const QList<QVariantMap>& tasks, bool dryRun) override {
        // A dry run changes nothing, so it saves nothing: read-only settings serve for it.
        if (dryRun) {
            return Guarded([&] { return ImportTaskFields(*FTasks, tasks, true); });
        }
        return Saved([&] { return ImportTaskFields(*FTasks, tasks, false); });
    }

private:
    template <class F> auto Guarded(F call) -> decltype(call()) {
        try {
            return call();
        } catch (const host::ETaskError& e) {
            // No report is unknown for want of a server: say which file is missing instead.
            if (e.Field == "ReportId" && FServerMissing) {
                throw rtl::Exception(TaskErrorText(
                    host::ETaskError(e.Task, e.Field, ServerMissingText(FServerFile))));
            }
            throw rtl::Exception(TaskErrorText(e));
        }
    }
    // The change, then the save; a save that fails leaves the stored tasks as they were.
    template <class F> auto Saved(F change) -> decltype(change()) {
        return Guarded([&] {
            if constexpr (std::is_void_v<decltype(change())>) {
                change();
                Save();
            } else {
                auto result = change();
                Save();
                return result;
            }
        });
    }
    void Save() {
        host::TRegistryTransaction transaction(FRegistry);
        FRegistry.CloseKey();
        FPlugin->HandleSettings(FRegistry, ClientSettingsRoot, true);
        FRegistry.CloseKey();
        transaction.Commit();
    }

    // Locked before the registry opens and let go after it closes, as a client does: closing a
    // descriptor of the file drops the registry's own locks (see TSettingsLock).
    static std::unique_ptr<host::TSettingsLock> LockSettings(const std::string& fileName) {
        std::error_code error;
        if (!std::filesystem::exists(fileName, error)) {
            host::TRegistry made(fileName); // the file, and its folder, for the lock
        }
        return std::make_unique<host::TSettingsLock>(fileName);
    }

    std::unique_ptr<host::TSettingsLock> FLock;
    host::TRegistry FRegistry;
    TPluginLoader& FLoader;
    const std::string FServerFile;
    bool FServerMissing = false;
    host::TSysObjectList FReports;
    host::TQuorClientPlugin* FPlugin = nullptr;
    host::ITaskControl* FTasks = nullptr;
};

} // namespace

std::unique_ptr<TTaskStore> OpenFileTasks(const TClientOptions& options, TPluginLoader& loader,
                                          bool readOnly) {
    return std::make_unique<TFileTasks>(options, loader, readOnly);
}

} // namespace morvid
