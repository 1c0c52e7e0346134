// Mail addresses as people type them: "Name <user@example.org>" or a bare address, checked by
// the grammar of Internet messages, and lists of them separated by ",".
#pragma once

#include "platform/rtl/SysUtils.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// An address that is not one; the message names it and what is wrong with it.
class EMailAddressError : public rtl::Exception {
public:
    using Exception::Exception;
};

struct TMailAddress {
    std::string DisplayName; // UTF-8, unquoted; empty when none was given
    std::string AddrSpec;    // local-part@domain, as the envelope carries it

    bool operator==(const TMailAddress&) const = default;
};

// One mailbox: a bare address (dot-atom or quoted local part; dot-atom or [literal] domain, 254
// characters at most), or a display name (atoms and quoted strings; UTF-8 allowed) followed by
// the bare address in angle brackets. Surrounding blanks are ignored; no control character but
// the tab is taken anywhere, escaped or not. Raises EMailAddressError.
TMailAddress ParseMailAddress(std::string_view text);

// `text` with each control character but the tab shown as U+FFFD: for a message that quotes
// what it refused, so that the quote stays on its line.
std::string VisibleText(std::string_view text);

// Addresses separated by "," (a comma inside quotes or angle brackets does not separate). Empty
// entries are skipped, so "a@x, , b@y" and "" are accepted. Raises EMailAddressError for the
// first entry that is not an address.
std::vector<TMailAddress> ParseMailAddressList(std::string_view text);

// What keeps a mail from going out, of its recipient fields To, Cc and Bcc (in this order): the
// first field that is not a list of addresses, else To when none of them holds an address.
struct TRecipientFault {
    std::size_t Field = 0;     // 0 To, 1 Cc, 2 Bcc
    bool NotAnAddress = false; // else there is nobody to send to
    std::string Message;
};
std::optional<TRecipientFault> FindRecipientFault(const std::array<std::string_view, 3>& fields);

} // namespace host
