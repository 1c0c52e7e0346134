// The client side as the reference client builds it, for the host core's tests: named objects,
// a connection state and a report list.
#pragma once

#include "platform/host/core/HostObject.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"

#include <cstdint>
#include <string>

namespace host {

class TCoreTestClient final : public IQuorClient {
public:
    THostObject* GetObject(const std::string& name) override { return Objects.Find(name); }
    std::uint8_t GetConnectionState() override { return State; }
    TSysObjectList& GetReports() override { return Reports; }

    THostObjectRegistry Objects;
    std::uint8_t State = 0;
    TSysObjectList Reports;
};

} // namespace host
