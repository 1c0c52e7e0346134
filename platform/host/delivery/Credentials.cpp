#include "platform/host/delivery/Credentials.h"

#include "platform/host/registry/Registry.h"

#include <algorithm>
#include <cctype>

namespace host {

std::vector<TCredential> ReadCredentials(TRegistry& registry) {
    std::vector<TCredential> credentials;
    if (!registry.OpenKey(CredentialsKey, false)) {
        return credentials;
    }
    const std::vector<std::string> names = registry.GetKeyNames();
    registry.CloseKey();
    for (const std::string& name : names) {
        if (!registry.OpenKey(std::string(CredentialsKey) + "\\" + name, false)) {
            continue;
        }
        const auto text = [&](const char* value) {
            return registry.GetDataType(value) == rdString ? registry.ReadString(value)
                                                           : std::string();
        };
        credentials.push_back({name, text("User"), text("Domain"), text("KeyFile")});
        registry.CloseKey();
    }
    std::sort(credentials.begin(), credentials.end(),
              [](const TCredential& a, const TCredential& b) { return a.Name < b.Name; });
    return credentials;
}

void WriteCredentials(TRegistry& registry, const std::vector<TCredential>& credentials) {
    registry.BeginTransaction();
    try {
        registry.DeleteKey(CredentialsKey);
        registry.OpenKey(CredentialsKey, true);
        registry.CloseKey();
        for (const TCredential& credential : credentials) {
            registry.OpenKey(std::string(CredentialsKey) + "\\" + credential.Name, true);
            registry.WriteString("User", credential.User);
            registry.WriteString("Domain", credential.Domain);
            registry.WriteString("KeyFile", credential.KeyFile);
            registry.CloseKey();
        }
        registry.CommitTransaction();
    } catch (...) {
        registry.CloseKey();
        registry.RollbackTransaction();
        throw;
    }
}

std::string CredentialFault(const TCredential& credential) {
    const std::string& name = credential.Name;
    const bool named = !name.empty() && name.size() <= 64 && name.front() != '.' &&
                       std::all_of(name.begin(), name.end(), [](unsigned char c) {
                           return std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.';
                       });
    if (!named) {
        return "The credential's name \"" + name +
               "\" is not up to 64 letters, digits, '-', '_' and '.', not beginning with '.'";
    }
    for (const std::string* field : {&credential.User, &credential.Domain, &credential.KeyFile}) {
        if (std::any_of(field->begin(), field->end(),
                        [](unsigned char c) { return c < 0x20 || c == 0x7f; })) {
            return "The credential \"" + name + "\" holds a control character";
        }
    }
    return {};
}

} // namespace host
