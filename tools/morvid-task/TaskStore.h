// Where morvid-task finds the tasks: the client that holds the settings file, on the session
// bus; or, with no client on the file, the file itself under the client's lock.
#pragma once

#include <QList>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <string>

namespace morvid {

class TPluginLoader;
struct TClientOptions;

// How a run ended: "succeeded", "cancelled" or "failed", the task's result and the file written.
struct TRunEnd {
    QString Outcome;
    QString Result;
    QString File;
};

class TTaskStore {
public:
    virtual ~TTaskStore();
    // Whether a running client holds the tasks (the bus), rather than the file.
    virtual bool Running() const = 0;
    virtual QList<QVariantMap> List() = 0;
    virtual QString Add(const QVariantMap& fields) = 0;
    virtual void Set(const QString& id, const QVariantMap& fields) = 0;
    virtual void Remove(const QString& id) = 0;
    virtual void SetEnabled(const QString& id, bool enabled) = 0;
    // Starts a run; with `wait` returns how it ended, else nothing once it started.
    virtual std::optional<TRunEnd> Run(const QString& id, bool wait) = 0;
    virtual QStringList Import(const QList<QVariantMap>& tasks, bool dryRun) = 0;
};

// The client on options.SettingsFile when one offers its tasks on the session bus; else the
// file, locked as a client locks it, with the plug-ins of options.PluginDir loaded by `loader`
// (which must outlive the application object) and the reports of options.ServerFile; with
// `readOnly` the file is only read, so a folder nobody may write into serves. Raises
// rtl::Exception naming what failed; every call raises one naming the task and field.
std::unique_ptr<TTaskStore> OpenTaskStore(const TClientOptions& options, TPluginLoader& loader,
                                          bool readOnly);

} // namespace morvid
