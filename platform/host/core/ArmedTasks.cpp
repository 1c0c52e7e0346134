#include "platform/host/core/ArmedTasks.h"

#include "platform/host/core/ClientPlugin.h"

namespace host {

IArmedTasks::~IArmedTasks() = default;

const IArmedTasks* ArmedTasks(const TQuorClientPlugin* plugin) noexcept {
    return dynamic_cast<const IArmedTasks*>(plugin);
}

} // namespace host
