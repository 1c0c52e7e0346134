// Where a task's run goes besides its export folder and its mail: one line of the task's
// "Targets", a URL and its options separated by spaces:
//   smb://server/share/folder credential=office
//   sftp://archive.example:2222/srv/reports credential=archive known-hosts=/etc/morvid/known
//   https://hooks.example/T0/B0/x kind=slack
//   smb://nas/reports exists=keep-both
// A space in the URL is written %20. Secrets never stand in the line: a login's password is a
// named credential's, kept where the client keeps secrets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

enum class TTargetKind : std::uint8_t { Share, Sftp, WebHook };

// How a web hook's message is shaped: our own JSON, or what the chat's incoming hook expects.
enum class THookShape : std::uint8_t { Json, Slack, Teams, Mattermost };

struct TDeliveryTarget {
    TTargetKind Kind = TTargetKind::WebHook;
    std::string Url{};        // as written, options left off
    std::string Host{};       // without brackets for an IPv6 address
    std::string User{};       // from the URL ("sftp://reports@host/..."); empty when none
    std::string Credential{}; // credential=NAME; empty when none
    std::string KnownHosts{}; // known-hosts=FILE (SFTP); empty: ~/.ssh/known_hosts
    THookShape Shape = THookShape::Json;
    // exists=keep-both|replace: a file of the name in the folder is kept beside the new one, or
    // replaced. The run adds its task's choice when the line has none.
    bool KeepBoth = false;
    bool ExistsGiven = false;
};

// Reads one line. Returns the fault, empty when the line is a target: an unknown scheme or
// option, a password in the URL, plain http to another machine than this one.
std::string ParseDeliveryTarget(const std::string& line, TDeliveryTarget& target);

// The target as the row, the log and the history name it: a web hook's path is often its only
// secret, so it is left off ("https://hooks.example/…"); the others' URL as written.
std::string TargetDisplayName(const TDeliveryTarget& target);
// As TargetDisplayName, for a line that may not parse (then its scheme and host at most).
std::string TargetDisplayName(const std::string& line);

// The words of the shapes, as `kind=` takes them.
const char* HookShapeWord(THookShape shape) noexcept;

} // namespace host
