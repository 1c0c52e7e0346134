// The mail server's password in the desktop's secret store (the freedesktop Secret Service,
// through QtKeychain), filed under the user and server it opens; never in the registry.
#pragma once

#include "platform/host/delivery/SmtpTransport.h"

#include <optional>
#include <string>

namespace host {

// The service the entries are filed under in the secret store.
inline constexpr const char* MailPasswordService = "Quor Client mail";

// The password kept for the server's user; nullopt when the store holds none for them. Raises
// rtl::Exception with the store's reason when it cannot be asked (no secret service, a locked
// store the user did not open). Waits for the store in a local event loop.
std::optional<std::string> ReadStoredMailPassword(const TSmtpServer& server);
// Keeps the password for the server's user, replacing the one kept before. Raises
// rtl::Exception with the store's reason.
void StoreMailPassword(const TSmtpServer& server, const std::string& password);

// The service a target's credential is filed under, by its name.
inline constexpr const char* CredentialService = "Quor Client credentials";

// Any secret of the store: `service` and `key` file it, `whose` names it in a failure ("the
// mail password of \"ops\""). Read and Store behave as the mail password's do.
std::optional<std::string> ReadStoredSecret(const char* service, const std::string& key,
                                            const std::string& whose);
void StoreSecret(const char* service, const std::string& key, const std::string& secret,
                 const std::string& whose);

} // namespace host
