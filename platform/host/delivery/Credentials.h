// The client's named credentials for its targets: who logs in to a share or an SFTP server. The
// registry keeps each one's name, user, domain and key file below the "Credentials" key; the
// secret never: the client reads it from a file, systemd's credentials or the desktop's store.
#pragma once

#include <string>
#include <vector>

namespace host {

class TRegistry;

inline constexpr const char* CredentialsKey =
    "\\Software\\Quor\\Client\\Settings\\Morvid\\Credentials";

struct TCredential {
    std::string Name{};
    std::string User{};
    std::string Domain{};  // a Windows domain, for shares
    std::string KeyFile{}; // a private key, for SFTP
    bool operator==(const TCredential&) const = default;
};

// Every credential, by name. Raises ERegistryException.
std::vector<TCredential> ReadCredentials(TRegistry& registry);
// Replaces every credential with `credentials` in one transaction: a failed write leaves them as
// they were. Raises ERegistryException.
void WriteCredentials(TRegistry& registry, const std::vector<TCredential>& credentials);

// Why the credential cannot be kept, naming the field; empty when it can. A name is what a file
// of systemd's credentials is called: letters, digits, '-', '_' and '.', not beginning with '.'.
std::string CredentialFault(const TCredential& credential);

} // namespace host
