// TQuorClientPlugin: the base class of every client plug-in. The host creates one object per
// plug-in library and calls its virtual operations; the base does nothing in any of them.
#pragma once

#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/core/Export.h"
#include "platform/host/core/QuorClient.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace host {

class TCustomSysObject;
class TRegistry;
class TSysObjectList;

// Host types that only pass through a plug-in here.
class TVelmornFlexPanel; // map panel
class TVelmornMapControl;
class TBufferProtocol;
class TLogRecord;
class TAlarm;

// What happens to a system object in the change notifications.
enum TSysObjectAction : std::uint8_t { soaInsert, soaUpdate, soaDelete };

// Registers a system object class by name for the department editor.
using TRegisterClassProc = std::function<void(const std::string& className)>;
// Called back by the department editor with the object being edited.
using TDepartmentEditProc = std::function<void(TCustomSysObject* object)>;

class QUOR_EXPORT TQuorClientPlugin {
public:
    // Keeps a copy of the description record and the client; Reports is the client's list.
    TQuorClientPlugin(TQuorClientPluginInfo& info, IQuorClient& client);
    virtual ~TQuorClientPlugin();
    TQuorClientPlugin(const TQuorClientPlugin&) = delete;
    TQuorClientPlugin& operator=(const TQuorClientPlugin&) = delete;

    // The host's calls, in the order of the virtual table; plug-ins built for this host rely
    // on that order, so new operations go at the end.
    virtual void DoConnected();
    virtual void DoConnected2();
    virtual void DoDisconnected();
    virtual void DoUserClass();
    virtual void DoMapChanged(TVelmornFlexPanel* panel);
    virtual void DoActifityLogFilter();
    virtual void Notify(const std::string& name, const rtl::TVariant& data);
    virtual void HandleMapStream(TVelmornFlexPanel* panel, std::iostream& stream, bool loading);
    virtual void HandleMapHover(TVelmornMapControl* control);
    virtual void HandleSettings(TRegistry& registry, const std::string& rootPath, bool save);
    virtual void HandleImportData(const std::string& name, const rtl::TVariant& data);
    virtual void HandleRegisterBroadcasts(TBufferProtocol* protocol);
    virtual void HandleLogRecord(TLogRecord* record, std::int32_t kind, const rtl::TVariant& data);
    virtual void HandleAlarm(TAlarm* alarm);
    // `filtered` starts as the message the host would show; a plug-in may replace it.
    virtual void FilterErrorMessage(const std::string& source, const std::string& message,
                                    std::string& filtered);
    virtual void HandleKeyLock(bool& locked);
    virtual void HandleObjectCreate(TCustomSysObject* object);
    virtual void HandleObjectStatusBeforeChange(TCustomSysObject* object);
    virtual void HandleObjectStatusAfterChange(TCustomSysObject* object);
    virtual void HandleObjectBeforeChange(TCustomSysObject* object, TSysObjectAction action);
    virtual void HandleObjectChanged(TCustomSysObject* object, TSysObjectAction action);
    virtual void DoSysObjectsLoaded();
    virtual void RegisterDepartmentObjectClasses(const TRegisterClassProc& registerClass);
    virtual void HandleDepartmentEditing(TCustomSysObject* object, bool readOnly,
                                         TSysObjectAction action, const TDepartmentEditProc& apply,
                                         const TDepartmentEditProc& cancel);

    // The host object of that name, or nullptr.
    THostObject* Client_GetObject(const std::string& name) const;
    // The same, or nullptr when the object is not a T.
    template <class T> T* Client_GetObject(const std::string& name) const {
        return dynamic_cast<T*>(Client_GetObject(name));
    }

    const TQuorClientPluginInfo Info;
    IQuorClient& Client;
    TSysObjectList& Reports;
};

} // namespace host
