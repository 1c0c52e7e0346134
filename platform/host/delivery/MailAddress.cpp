#include "platform/host/delivery/MailAddress.h"

#include <cstring>

namespace host {

namespace {

bool IsAtext(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A control character but the tab, which is a blank.
bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7F;
}

// The longest path an SMTP server must take is 256 octets, the angle brackets included.
constexpr std::size_t MaxAddrSpec = 254;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A reader over one mailbox's text; every Read... consumes what it accepts or raises.
class TMailboxReader {
public:
    explicit TMailboxReader(std::string_view text) : FWhole(text), FRest(text) {}

    [[noreturn]] void Fail(const std::string& why) const {
        throw EMailAddressError("\"" + VisibleText(FWhole) + "\" is not a mail address: " + why);
    }

    bool AtEnd() const { return FRest.empty(); }
    char Peek() const { return FRest.empty() ? '\0' : FRest.front(); }
    void Skip() { FRest.remove_prefix(1); }
    void SkipBlanks() {
        while (!FRest.empty() && IsBlank(FRest.front())) {
            Skip();
        }
    }

    // dot-atom-text: atoms joined by single dots.
    std::string ReadDotAtom(const char* what) {
        std::string atom;
        while (!AtEnd() && (IsAtext(static_cast<unsigned char>(Peek())) || Peek() == '.')) {
            atom += Peek();
            Skip();
        }
        if (atom.empty() || atom.front() == '.' || atom.back() == '.' ||
            atom.find("..") != std::string::npos) {
            Fail(std::string("the ") + what + " is empty or has a misplaced dot");
        }
        return atom;
    }

    // A quoted string; `raw` keeps the quotes and escapes (for a local part), else the content.
    std::string ReadQuoted(bool raw) {
        std::string text = raw ? "\"" : "";
        Skip();
        while (!AtEnd() && Peek() != '"') {
            if (Peek() == '\\') {
                Skip();
                if (AtEnd()) {
                    break;
                }
                if (raw) {
                    text += '\\';
                }
            }
            text += Peek();
            Skip();
        }
        if (AtEnd()) {
            Fail("a quote is not closed");
        }
        Skip();
        return raw ? text + "\"" : text;
    }

    std::string ReadAddrSpec() {
        std::string local;
        if (Peek() == '"') {
            local = ReadQuoted(true);
            for (const char c : local) {
                if (static_cast<unsigned char>(c) >= 0x80) {
                    Fail("the part before @ is not ASCII");
                }
            }
        } else {
            local = ReadDotAtom("part before @");
        }
        if (Peek() != '@') {
            Fail("no @ after \"" + local + "\"");
        }
        Skip();
        std::string domain;
        if (Peek() == '[') {
            domain += '[';
            Skip();
            while (!AtEnd() && Peek() != ']') {
                const auto c = static_cast<unsigned char>(Peek());
                if (c < 33 || c > 126 || c == '[' || c == '\\') {
                    Fail("the domain literal holds a character it may not");
                }
                domain += Peek();
                Skip();
            }
            if (AtEnd()) {
                Fail("the domain literal is not closed");
            }
            Skip();
            domain += ']';
        } else {
            domain = ReadDotAtom("domain");
        }
        std::string addrSpec = local + "@" + domain;
        if (addrSpec.size() > MaxAddrSpec) {
            Fail("it is longer than " + std::to_string(MaxAddrSpec) + " characters");
        }
        return addrSpec;
    }

    // A phrase: words (atoms of any non-special byte, so UTF-8 passes, or quoted strings)
    // separated by blanks, up to the '<'.
    std::string ReadDisplayName() {
        std::string name;
        while (!AtEnd() && Peek() != '<') {
            if (IsBlank(Peek())) {
                SkipBlanks();
                if (!name.empty() && Peek() != '<') {
                    name += ' ';
                }
                continue;
            }
            if (Peek() == '"') {
                name += ReadQuoted(false);
                continue;
            }
            const auto c = static_cast<unsigned char>(Peek());
            if (c < 0x80 && !IsAtext(c) && c != '.') {
                Fail(std::string("the name holds '") + Peek() + "'; put the name in quotes");
            }
            name += Peek();
            Skip();
        }
        return name;
    }

private:
    std::string_view FWhole;
    std::string_view FRest;
};

} // namespace

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += IsControl(c) ? std::string_view("\xEF\xBF\xBD") : std::string_view(&c, 1);
    }
    return out;
}

TMailAddress ParseMailAddress(std::string_view text) {
    text = Trimmed(text);
    TMailboxReader reader(text);
    if (reader.AtEnd()) {
        reader.Fail("it is empty");
    }
    // Escaped or quoted, a line break or a NUL would end a header or an SMTP command early, and
    // what follows it would be read as a header or a command of its own.
    for (const char c : text) {
        if (IsControl(c)) {
            reader.Fail("it holds a line break or another control character");
        }
    }
    TMailAddress address;
    if (text.back() != '>') {
        address.AddrSpec = reader.ReadAddrSpec();
    } else {
        address.DisplayName = reader.ReadDisplayName();
        if (reader.AtEnd()) {
            reader.Fail("no '<' before the address");
        }
        reader.Skip();
        address.AddrSpec = reader.ReadAddrSpec();
        if (reader.Peek() != '>') {
            reader.Fail("something stands between the address and '>'");
        }
        reader.Skip();
    }
    if (!reader.AtEnd()) {
        reader.Fail("something follows the address");
    }
    return address;
}

std::vector<TMailAddress> ParseMailAddressList(std::string_view text) {
    std::vector<TMailAddress> addresses;
    const auto take = [&](std::string_view entry) {
        if (entry = Trimmed(entry); !entry.empty()) {
            addresses.push_back(ParseMailAddress(entry));
        }
    };
    bool quoted = false;
    bool escaped = false;
    int angle = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (escaped) {
            escaped = false;
        } else if (quoted) {
            escaped = c == '\\';
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            ++angle;
        } else if (c == '>') {
            --angle;
        } else if (c == ',' && angle <= 0) {
            take(text.substr(start, i - start));
            start = i + 1;
        }
    }
    // An open quote or bracket takes the rest along, and the mailbox reader names the fault.
    take(text.substr(start));
    return addresses;
}

std::optional<TRecipientFault> FindRecipientFault(const std::array<std::string_view, 3>& fields) {
    std::size_t recipients = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        try {
            recipients += ParseMailAddressList(fields[i]).size();
        } catch (const EMailAddressError& e) {
            return TRecipientFault{i, true, e.Message()};
        }
    }
    if (recipients == 0) {
        return TRecipientFault{
            0, false, "Mail needs a recipient: give at least one address under To, Cc or Bcc"};
    }
    return std::nullopt;
}

} // namespace host
