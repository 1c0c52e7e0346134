#include "platform/host/core/ClientPlugin.h"

namespace host {

TQuorClientPlugin::TQuorClientPlugin(TQuorClientPluginInfo& info, IQuorClient& client)
    : Info(info), Client(client), Reports(client.GetReports()) {}

TQuorClientPlugin::~TQuorClientPlugin() = default;

void TQuorClientPlugin::DoConnected() {}
void TQuorClientPlugin::DoConnected2() {}
void TQuorClientPlugin::DoDisconnected() {}
void TQuorClientPlugin::DoUserClass() {}
void TQuorClientPlugin::DoMapChanged(TVelmornFlexPanel*) {}
void TQuorClientPlugin::DoActifityLogFilter() {}
void TQuorClientPlugin::Notify(const std::string&, const rtl::TVariant&) {}
void TQuorClientPlugin::HandleMapStream(TVelmornFlexPanel*, std::iostream&, bool) {}
void TQuorClientPlugin::HandleMapHover(TVelmornMapControl*) {}
void TQuorClientPlugin::HandleSettings(TRegistry&, const std::string&, bool) {}
void TQuorClientPlugin::HandleImportData(const std::string&, const rtl::TVariant&) {}
void TQuorClientPlugin::HandleRegisterBroadcasts(TBufferProtocol*) {}
void TQuorClientPlugin::HandleLogRecord(TLogRecord*, std::int32_t, const rtl::TVariant&) {}
void TQuorClientPlugin::HandleAlarm(TAlarm*) {}
void TQuorClientPlugin::FilterErrorMessage(const std::string&, const std::string&, std::string&) {}
void TQuorClientPlugin::HandleKeyLock(bool&) {}
void TQuorClientPlugin::HandleObjectCreate(TCustomSysObject*) {}
void TQuorClientPlugin::HandleObjectStatusBeforeChange(TCustomSysObject*) {}
void TQuorClientPlugin::HandleObjectStatusAfterChange(TCustomSysObject*) {}
void TQuorClientPlugin::HandleObjectBeforeChange(TCustomSysObject*, TSysObjectAction) {}
void TQuorClientPlugin::HandleObjectChanged(TCustomSysObject*, TSysObjectAction) {}
void TQuorClientPlugin::DoSysObjectsLoaded() {}
void TQuorClientPlugin::RegisterDepartmentObjectClasses(const TRegisterClassProc&) {}
void TQuorClientPlugin::HandleDepartmentEditing(TCustomSysObject*, bool, TSysObjectAction,
                                                const TDepartmentEditProc&,
                                                const TDepartmentEditProc&) {}

THostObject* TQuorClientPlugin::Client_GetObject(const std::string& name) const {
    return Client.GetObject(name);
}

} // namespace host
