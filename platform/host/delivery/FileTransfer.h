// Copies a run's files into a folder on another machine: a Windows or Samba share (SMB2/SMB3
// through Samba's client library) or an SFTP server (through libcurl, the server's host key
// checked against a known_hosts file). A reader of the folder never sees half a file: each is
// written under a hidden temporary name and renamed when complete.
//
// Exactly once across crashes: before a file takes its final name, `placing` is told the name,
// so the caller can record it; a later attempt passes that name back as `Placed`, and a file of
// that name with the source's size counts as delivered instead of being copied again.
#pragma once

#include "platform/host/delivery/SendStatus.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host {

// What to do when the folder already has a file of the name: replace it, or take the first free
// "_2", "_3", ... before the extension (as a local export folder does).
enum class TNameClash : std::uint8_t { Replace, KeepBoth };

// Who logs in. Password is the secret itself, read from the credential store by the caller;
// never logged. KeyFile: a private key for SFTP (the password then unlocks it, when set).
struct TTransferLogin {
    std::string User{};
    std::string Domain{}; // SMB only
    std::string Password{};
    std::string KeyFile{};
    std::string KnownHostsFile{}; // SFTP only; required: no host key is accepted unchecked
};

struct TTransferFile {
    std::string Source{}; // the local file
    std::string Name{};   // the name it is to have in the folder
    std::string Placed{}; // the name an earlier attempt gave it; empty when none did
};

struct TTransferResult : TSendResult {
    // For each file, in order: the name it has in the folder; empty for one not delivered.
    std::vector<std::string> Placed{};
};

// Told the file's index and its final name just before the rename that makes it visible.
// Raising from it ends the attempt as transient, with the file left under its temporary name.
using TPlacingListener = std::function<void(std::size_t index, const std::string& name)>;

// `url`: smb://server[:port]/share/folder. Never raises for the server's or the network's
// faults; those are in the result (a refused login or a missing share is permanent, a server
// that cannot be reached transient). Setting `cancel` cuts the attempt short (transient).
TTransferResult CopyToShare(const std::string& url, const TTransferLogin& login,
                            const std::vector<TTransferFile>& files, TNameClash clash,
                            const TPlacingListener& placing,
                            const std::atomic<bool>* cancel = nullptr);

// `url`: sftp://host[:port]/folder (an absolute folder; "/~/" for one under the user's home).
// An unknown or changed host key and a refused login are permanent.
TTransferResult CopyOverSftp(const std::string& url, const TTransferLogin& login,
                             const std::vector<TTransferFile>& files, TNameClash clash,
                             const TPlacingListener& placing,
                             const std::atomic<bool>* cancel = nullptr);

} // namespace host
