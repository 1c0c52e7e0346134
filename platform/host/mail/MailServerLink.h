// TMailServerLink: the host object through which a plug-in's dialog reads the client's mail
// server, changes it (taking effect at once) and learns the password it sends with.
#pragma once

#include "platform/host/core/HostObject.h"
#include "platform/host/delivery/MailSettings.h"

#include <functional>
#include <optional>
#include <string>

namespace host {

class IQuorClient;

// The name a plug-in asks its client for (IQuorClient::GetObject).
inline constexpr const char* MailServerObjectName = "Mail.Server";

// The client sets the functions; one left unset does nothing and answers with the defaults.
class TMailServerLink final : public THostObject {
public:
    std::function<TMailSettings()> OnRead;
    // Stores the settings and starts using them, with the password read again. Raises when
    // they cannot be stored.
    std::function<void(const TMailSettings&)> OnApply;
    // The password the client would send with, or nullopt; raises rtl::Exception naming why it
    // cannot be read.
    std::function<std::optional<std::string>()> OnPassword;

    TMailSettings Read() const { return OnRead ? OnRead() : TMailSettings{}; }
    void Apply(const TMailSettings& settings) const {
        if (OnApply) {
            OnApply(settings);
        }
    }
    std::optional<std::string> Password() const { return OnPassword ? OnPassword() : std::nullopt; }
};

// The link of the plug-in's client, or nullptr when its host sends no mail.
TMailServerLink* MailServerOf(IQuorClient& client);

} // namespace host
