// A client as the host offers one to a plug-in in tests: the host objects a test registers, among
// them a road for task runs, a connection state the test sets, and a report list.
#pragma once

#include "platform/host/core/HostObject.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/report/TaskRuns.h"

#include <cstdint>
#include <functional>
#include <string>

namespace morvid::test {

class TTestClient final : public host::IQuorClient {
public:
    TTestClient() { Objects.Register(host::TaskRunsObjectName, &Runs); }

    host::THostObject* GetObject(const std::string& name) override { return Objects.Find(name); }
    std::uint8_t GetConnectionState() override { return State; }
    host::TSysObjectList& GetReports() override;

    host::THostObjectRegistry Objects;
    // Tests listen to it, and give it a history.
    host::TTaskRuns Runs;
    std::uint8_t State = host::csOnline;
    host::TSysObjectList Reports;
    // Runs when the reports are asked for, e.g. while a plug-in object is constructed.
    std::function<void()> OnGetReports;
};

} // namespace morvid::test
