// A run told to a web hook: a POST of a JSON message, shaped as our own document or as the chat's
// incoming hook expects it, through libcurl.
#pragma once

#include "platform/host/delivery/DeliveryTarget.h"
#include "platform/host/delivery/SendStatus.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct THookFile {
    std::string Name{};
    std::int64_t Size = 0;
};

// What the message tells of a run; times as the operator reads them ("2026-03-09 06:00").
struct THookRun {
    std::string Task{};
    std::string Report{};
    std::string Due{};    // empty for a run by hand
    std::string Period{}; // the report's period; empty when it has none
    std::string Outcome{};
    std::string Result{};
    std::vector<THookFile> Files{};
};

// The body of the POST for `shape`: {"task":..., "files":[{"name":..., "size":...}], ...} for
// json; {"text": ...} for Slack and Mattermost; a MessageCard for Teams.
std::string WebHookMessage(THookShape shape, const THookRun& run);

// One attempt. A 2xx reply is sent; 408, 429 and 5xx, and no connection, are transient; any
// other reply and a refused certificate are final. Never raises for the server's or the
// network's faults. Setting `cancel` cuts the attempt short (transient).
TSendResult PostWebHook(const std::string& url, const std::string& body,
                        const std::atomic<bool>* cancel = nullptr, long timeoutSeconds = 60);

// How a reply counts; `curlCode` when no reply came.
TSendStatus ClassifyHookReply(int curlCode, long httpCode) noexcept;

} // namespace host
