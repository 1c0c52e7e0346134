// IArmedTasks: what a plug-in can tell its host of the work it has armed for the connection. An
// optional addition to TQuorClientPlugin: a plug-in that runs tasks on a schedule implements it
// beside the base class, and the host asks with ArmedTasks, doing without where it is nullptr.
#pragma once

#include "platform/host/core/Export.h"

namespace host {

class TQuorClientPlugin;

class QUOR_EXPORT IArmedTasks {
public:
    // How many of its tasks would run on their own while the client stays connected.
    virtual int ArmedTaskCount() const = 0;

protected:
    // Never deleted through this interface: the plug-in object is.
    virtual ~IArmedTasks();
};

// The plug-in's answer, nullptr when it gives none.
const IArmedTasks* ArmedTasks(const TQuorClientPlugin* plugin) noexcept;

} // namespace host
