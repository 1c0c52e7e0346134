#include "platform/host/core/TaskControl.h"

#include "platform/host/core/ClientPlugin.h"

namespace host {

ETaskError::ETaskError(std::string task, std::string field, const std::string& message)
    : rtl::Exception(message), Task(std::move(task)), Field(std::move(field)) {}

ETaskError::~ETaskError() = default;

ITaskControl::~ITaskControl() = default;

ITaskControl* TaskControl(TQuorClientPlugin* plugin) noexcept {
    return dynamic_cast<ITaskControl*>(plugin);
}

} // namespace host
