// How one attempt to deliver something ended, for every transport: sent, worth trying again
// (the server or the network is away for now), or final (refused for good).
#pragma once

#include <cstdint>
#include <string>

namespace host {

enum class TSendStatus : std::uint8_t { Sent, Transient, Permanent };

struct TSendResult {
    TSendStatus Status = TSendStatus::Sent;
    int ReplyCode = 0;  // the server's reply that ended the attempt; 0 when none came
    std::string Reason; // "550 5.1.1 No such user" or the transport's own words; empty when sent
};

} // namespace host
