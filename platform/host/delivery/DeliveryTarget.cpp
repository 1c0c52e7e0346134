#include "platform/host/delivery/DeliveryTarget.h"

#include "platform/host/delivery/SmtpTransport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace host {

namespace {

constexpr std::array<std::pair<const char*, TTargetKind>, 4> Schemes{{
    {"smb", TTargetKind::Share},
    {"sftp", TTargetKind::Sftp},
    {"https", TTargetKind::WebHook},
    {"http", TTargetKind::WebHook},
}};

constexpr std::array<const char*, 4> ShapeWords{"json", "slack", "teams", "mattermost"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "scheme://host:port" of `url` (a user and password left off), or its first word when it has
// no "://".
std::string SchemeAndAuthority(const std::string& url) {
    const std::size_t start = url.find("://");
    if (start == std::string::npos) {
        return url.substr(0, url.find_first_of(" \t"));
    }
    std::string front = url.substr(0, url.find_first_of("/ \t?#", start + 3));
    if (const std::size_t at = front.rfind('@'); at != std::string::npos) {
        front.erase(start + 3, at + 1 - (start + 3));
    }
    return front;
}

// Splits "user@host:port" of `url`; the fault when it has none that can be used.
std::string ReadAuthority(const std::string& url, std::size_t start, TDeliveryTarget& target) {
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    std::string authority = url.substr(start, end - start);
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
        target.User = authority.substr(0, at);
        authority.erase(0, at + 1);
        if (target.User.find(':') != std::string::npos) {
            return "A password does not belong in the target's URL: name a credential "
                   "(credential=NAME)";
        }
    }
    std::string port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos) {
            return "The address in brackets is not closed";
        }
        target.Host = authority.substr(1, close - 1);
        port = authority.substr(close + 1);
    } else {
        const std::size_t colon = authority.find(':');
        target.Host = authority.substr(0, colon);
        port = colon == std::string::npos ? std::string() : authority.substr(colon);
    }
    if (!port.empty()) {
        const bool digits = port.size() > 1 && port.size() <= 6 && port.front() == ':' &&
                            std::all_of(port.begin() + 1, port.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
        if (!digits || std::stoi(port.substr(1)) == 0 || std::stoi(port.substr(1)) > 65535) {
            return "\"" + port.substr(1) + "\" is no port number";
        }
    }
    return target.Host.empty() ? "The target names no server" : std::string();
}

std::string ReadOption(const std::string& option, TDeliveryTarget& target) {
    const std::size_t equals = option.find('=');
    const std::string name = option.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
    if (equals == std::string::npos || value.empty()) {
        return "The option \"" + name + "\" has no value (" + name + "=...)";
    }
    if (name == "credential" && target.Kind != TTargetKind::WebHook) {
        target.Credential = value;
    } else if (name == "exists" && target.Kind != TTargetKind::WebHook) {
        if (value != "replace" && value != "keep-both") {
            return "\"" + value + "\" is neither replace nor keep-both";
        }
        target.KeepBoth = value == "keep-both";
        target.ExistsGiven = true;
    } else if (name == "known-hosts" && target.Kind == TTargetKind::Sftp) {
        target.KnownHosts = value;
    } else if (name == "kind" && target.Kind == TTargetKind::WebHook) {
        const auto word = std::find(ShapeWords.begin(), ShapeWords.end(), Lower(value));
        if (word == ShapeWords.end()) {
            return "\"" + value + "\" is no kind of web hook: json, slack, teams or mattermost";
        }
        target.Shape = static_cast<THookShape>(word - ShapeWords.begin());
    } else {
        return "\"" + name + "\" is no option of this target";
    }
    return {};
}

} // namespace

std::string ParseDeliveryTarget(const std::string& line, TDeliveryTarget& target) {
    target = {};
    if (std::any_of(line.begin(), line.end(),
                    [](unsigned char c) { return c < 0x20 && c != '\t'; })) {
        return "A target holds no control characters";
    }
    std::vector<std::string> words;
    for (std::size_t start = 0; start < line.size();) {
        start = line.find_first_not_of(" \t", start);
        if (start == std::string::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end;
    }
    if (words.empty()) {
        return "The target is empty";
    }
    target.Url = words.front();
    const std::size_t separator = target.Url.find("://");
    const std::string scheme =
        Lower(target.Url.substr(0, separator == std::string::npos ? 0 : separator));
    const auto known = std::find_if(Schemes.begin(), Schemes.end(),
                                    [&](const auto& entry) { return scheme == entry.first; });
    if (known == Schemes.end()) {
        return "\"" + SchemeAndAuthority(target.Url) +
               "\" is no target: it begins with smb://, sftp://, https:// or http://";
    }
    target.Kind = known->second;
    if (std::string fault = ReadAuthority(target.Url, separator + 3, target); !fault.empty()) {
        return fault;
    }
    // Plain http carries the message unencrypted: as with plain SMTP, only within this machine.
    if (scheme == "http" && !IsLoopbackHost(target.Host)) {
        return "Plain http sends the message unencrypted: only to this machine "
               "(127.0.0.1, ::1, localhost); use https for \"" +
               target.Host + "\"";
    }
    if (target.Kind == TTargetKind::Share) {
        const std::size_t path = target.Url.find('/', separator + 3);
        if (path == std::string::npos || path + 1 >= target.Url.size()) {
            return "A share target names its share: smb://server/share[/folder]";
        }
    }
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (std::string fault = ReadOption(words[i], target); !fault.empty()) {
            return fault;
        }
    }
    return {};
}

std::string TargetDisplayName(const TDeliveryTarget& target) {
    if (target.Kind != TTargetKind::WebHook) {
        return target.Url;
    }
    const std::string front = SchemeAndAuthority(target.Url);
    return front.size() < target.Url.size() ? front + "/\xE2\x80\xA6" : front;
}

std::string TargetDisplayName(const std::string& line) {
    TDeliveryTarget target;
    if (ParseDeliveryTarget(line, target).empty()) {
        return TargetDisplayName(target);
    }
    return SchemeAndAuthority(line);
}

const char* HookShapeWord(THookShape shape) noexcept {
    return ShapeWords[static_cast<std::size_t>(shape)];
}

} // namespace host
