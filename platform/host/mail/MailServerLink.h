// TMailServerLink: the host object through which a plug-in's dialogs read the client's mail
// server and its targets' credentials, change them (taking effect at once) and learn the password
// it sends with.
#pragma once

#include "platform/host/core/HostObject.h"
#include "platform/host/delivery/Credentials.h"
#include "platform/host/delivery/MailSettings.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

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
    std::function<std::vector<TCredential>()> OnReadCredentials;
    // Stores the credentials in place of those kept, and the secrets typed for them (by name;
    // a credential absent from `secrets` keeps its own), and delivers with them from the next
    // attempt. Raises naming what cannot be stored; the registry is left as it was then.
    std::function<void(const std::vector<TCredential>& credentials,
                       const std::map<std::string, std::string>& secrets)>
        OnApplyCredentials;

    TMailSettings Read() const { return OnRead ? OnRead() : TMailSettings{}; }
    void Apply(const TMailSettings& settings) const {
        if (OnApply) {
            OnApply(settings);
        }
    }
    std::optional<std::string> Password() const { return OnPassword ? OnPassword() : std::nullopt; }
    std::vector<TCredential> Credentials() const {
        return OnReadCredentials ? OnReadCredentials() : std::vector<TCredential>{};
    }
    void ApplyCredentials(const std::vector<TCredential>& credentials,
                          const std::map<std::string, std::string>& secrets) const {
        if (OnApplyCredentials) {
            OnApplyCredentials(credentials, secrets);
        }
    }
};

// The link of the plug-in's client, or nullptr when its host sends no mail.
TMailServerLink* MailServerOf(IQuorClient& client);

} // namespace host
