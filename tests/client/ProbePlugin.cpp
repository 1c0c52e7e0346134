// A plug-in as the client meets one, for the client's tests: links one command into the main
// menu, follows the connection, and keeps a few values in its own settings key. The test steers
// it through Notify: "FailSave" makes the next saves raise after their first write, "Armed" sets
// how many tasks it says are armed while it is connected. A process
// test steers it through the environment: PROBE_EXPORT_DIR (with PROBE_EXPORT_ROWS rows) makes it
// export a report of its own there on connect, PROBE_BLOCK_ON_CONNECT makes it open that file on
// connect and wait there (a FIFO nobody writes: a start that hangs), PROBE_OPEN_COMMAND makes it
// click the window's command of that name once connected, as a person at the window would (even
// on the offscreen platform), and write the file PROBE_OPENED once a modal dialog is open.
#include "platform/host/core/ArmedTasks.h"
#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/Export.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/ItemLinks.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/ModalAnswerer.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/report/Report.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace probe {

class TProbePlugin : public host::TQuorClientPlugin, public host::IArmedTasks {
public:
    TProbePlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client)
        : TQuorClientPlugin(info, client) {
        bbProbe = FBars.AddButton("bbProbe");
        bbProbe->SetCaption("Probe command"); // enabled until it hears the client is offline
        if (auto* menu = Client_GetObject<host::THostMenu>("Menus.Main.Object")) {
            menu->ItemLinks.Add(bbProbe)->SetBeginGroup(true);
        }
    }
    ~TProbePlugin() override {
        while (bbProbe->LinkCount() > 0) {
            bbProbe->Links(0)->Destroy();
        }
    }
    void DoConnected() override {
        TQuorClientPlugin::DoConnected();
        bbProbe->SetEnabled(Client.IsOnline());
        FConnected = true;
        ++FConnects;
        FReportsSeen = Reports.Count();
        if (const char* fifo = std::getenv("PROBE_BLOCK_ON_CONNECT")) {
            const int handle = ::open(fifo, O_RDONLY | O_CLOEXEC);
            if (handle >= 0) {
                ::close(handle);
            }
        }
        if (const char* folder = std::getenv("PROBE_EXPORT_DIR")) {
            const char* rows = std::getenv("PROBE_EXPORT_ROWS");
            host::TfrxReport report;
            report.Title = "Probe export";
            report.Columns = {{"Line", rtl::TVarType::String}};
            report.Rows.assign(rows != nullptr ? std::strtoul(rows, nullptr, 10) : 1,
                               {rtl::TVariant(std::string(100, 'x'))});
            host::TfrxCsvExport filter;
            filter.FileName = std::string(folder) + "/probe.csv";
            report.Export(filter); // the host logs how it went
        }
        if (const char* command = std::getenv("PROBE_OPEN_COMMAND")) {
            ClickLater(QString::fromLocal8Bit(command));
        }
    }
    void DoDisconnected() override {
        TQuorClientPlugin::DoDisconnected();
        bbProbe->SetEnabled(false);
        FConnected = false;
    }
    void Notify(const std::string& name, const rtl::TVariant& data) override {
        if (name == "FailSave") {
            FFailSave = data.AsBoolean();
        } else if (name == "Armed") {
            FArmed = data.AsInteger();
        }
    }
    int ArmedTaskCount() const override { return FConnected ? FArmed : 0; }
    void HandleSettings(host::TRegistry& registry, const std::string& rootPath,
                        bool save) override {
        const std::string key = rootPath + "\\Settings\\Probe";
        if (save) {
            if (!registry.OpenKey(key, true)) {
                return;
            }
            registry.WriteInteger("Saves", ++FSaves);
            if (FFailSave) {
                throw rtl::Exception("probe cannot save");
            }
            registry.WriteInteger("Connects", FConnects);
            registry.WriteInteger("Reports", FReportsSeen);
            registry.CloseKey();
        } else if (registry.OpenKey(key, false)) {
            FSaves = registry.ReadInteger("Saves"); // raises for a value of another type
            registry.CloseKey();
        }
    }

private:
    // Clicks the command once the start is through; notes the modal dialog it opens.
    static void ClickLater(const QString& command) {
        host::SetInteractiveSession(true);
        auto* watch = new QTimer(qApp);
        QObject::connect(watch, &QTimer::timeout, [watch] {
            if (QApplication::activeModalWidget() != nullptr) {
                if (const char* opened = std::getenv("PROBE_OPENED")) {
                    std::ofstream(opened) << "open\n";
                }
                watch->stop();
                watch->deleteLater();
            }
        });
        watch->start(50);
        QTimer::singleShot(0, qApp, [command] {
            for (QWidget* widget : QApplication::allWidgets()) {
                for (QAction* action : widget->actions()) {
                    if (action->objectName() == command) {
                        action->trigger();
                        return;
                    }
                }
            }
        });
    }

    host::TBarManager FBars;
    host::TBarButton* bbProbe;
    int FSaves = 0;
    int FConnects = 0;
    int FReportsSeen = 0;
    bool FFailSave = false;
    bool FConnected = false;
    int FArmed = 0;
};

} // namespace probe

QUOR_PLUGIN_ENTRY void GetPluginInfo(host::TQuorClientPluginInfo& info) {
    info.Signature = host::QuorPluginSignature;
    info.InterfaceMajor = 0;
    info.InterfaceMinor = 1;
    info.ShortName = "Probe";
    info.Version = "1.0";
    info.Language = "English";
    info.Title = "Probe";
    info.Description = "A plug-in for the client's tests";
    info.PluginClass = &host::PluginClassOf<probe::TProbePlugin>("TProbePlugin");
    info.AutoCreate = 1;
}
