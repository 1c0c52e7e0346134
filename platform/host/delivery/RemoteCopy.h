// What copying into a folder on another machine means, whatever the protocol: a file is written
// under a hidden temporary name, its final name chosen by the clash rule, the caller told that
// name, and only then the file renamed into view. The protocols supply five operations on the
// folder.
#pragma once

#include "platform/host/delivery/FileTransfer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

namespace host {

// A failure of one operation on the remote folder, already judged transient or permanent.
class ETransferFailure : public std::runtime_error {
public:
    ETransferFailure(TSendStatus status, const std::string& reason)
        : std::runtime_error(reason), Status(status) {}
    TSendStatus Status;
};

class TRemoteFolder {
public:
    virtual ~TRemoteFolder() = default;
    // The folder's address as reasons name it.
    virtual const std::string& Where() const = 0;
    // The size of the folder's file `name`; nullopt when there is none.
    virtual std::optional<std::uint64_t> SizeOf(const std::string& name) = 0;
    // Every name in the folder.
    virtual std::set<std::string> Names() = 0;
    // Writes the local file `source` as `name`, replacing a file of that name.
    virtual void Upload(const std::string& source, const std::string& name) = 0;
    // Fails when `to` exists: a rename never replaces here, so a name is never lost to a race.
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& name) = 0;
};

// The hidden name a file is written under before it takes `name`.
std::string TemporaryName(const std::string& name);
// `name` with "_<n>" before its extension ("report_2.pdf"); `name` itself for n == 1.
std::string NumberedName(const std::string& name, int n);
// `name` with every byte but letters, digits and "-._~" as %XX, for a file's part of an address.
std::string PercentEncoded(const std::string& name);
// Why `name` cannot be a file name in a remote folder (a path, a hidden or empty name); empty when
// it can.
std::string UnsafeNameReason(const std::string& name);

// Copies `files` into the folder `open` gives as FileTransfer.h describes; a failure to open it
// (an address or a login that cannot be used) is the result's too.
TTransferResult CopyIntoFolder(const std::function<std::unique_ptr<TRemoteFolder>()>& open,
                               const std::vector<TTransferFile>& files, TNameClash clash,
                               const TPlacingListener& placing, const std::atomic<bool>* cancel);

} // namespace host
