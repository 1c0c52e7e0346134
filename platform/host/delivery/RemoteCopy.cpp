#include "platform/host/delivery/RemoteCopy.h"

#include <cctype>
#include <filesystem>

namespace host {

namespace {

// As a local export folder: more copies of one name than this is no plan anybody made.
constexpr int MaxNumber = 1000;

void CheckCancel(const std::atomic<bool>* cancel, const std::string& where) {
    if (cancel != nullptr && cancel->load()) {
        throw ETransferFailure(TSendStatus::Transient, where + ": the copy was cut short");
    }
}

void Tell(const TPlacingListener& placing, std::size_t index, const std::string& name,
          const std::string& where) {
    if (!placing) {
        return;
    }
    try {
        placing(index, name);
    } catch (const std::exception& e) {
        throw ETransferFailure(TSendStatus::Transient, where + ": the name \"" + name +
                                                           "\" could not be recorded: " + e.what());
    }
}

std::string KeepBoth(TRemoteFolder& folder, const std::string& temp, const std::string& name,
                     std::size_t index, const TPlacingListener& placing, const std::string& where) {
    std::set<std::string> names = folder.Names();
    for (int n = 1; n <= MaxNumber; ++n) {
        const std::string candidate = NumberedName(name, n);
        if (names.count(candidate) != 0) {
            continue;
        }
        Tell(placing, index, candidate, where);
        try {
            folder.Rename(temp, candidate);
            return candidate;
        } catch (const ETransferFailure&) {
            // Another writer took the name since the listing: the next one is tried.
            if (!folder.SizeOf(candidate)) {
                throw;
            }
            names.insert(candidate);
        }
    }
    throw ETransferFailure(TSendStatus::Permanent,
                           where + ": no free name is left for \"" + name + "\"");
}

// The old file is set aside under a hidden name rather than removed, so that it comes back when
// the new one cannot take its place; no file of the name exists only between two renames.
std::string Replace(TRemoteFolder& folder, const std::string& temp, const std::string& name,
                    std::size_t index, const TPlacingListener& placing, const std::string& where) {
    Tell(placing, index, name, where);
    if (!folder.SizeOf(name)) {
        try {
            folder.Rename(temp, name);
            return name;
        } catch (const ETransferFailure&) {
            if (!folder.SizeOf(name)) {
                throw;
            }
        }
    }
    const std::string old = "." + name + ".old";
    if (folder.SizeOf(old)) {
        folder.Remove(old);
    }
    folder.Rename(name, old);
    try {
        folder.Rename(temp, name);
    } catch (const ETransferFailure&) {
        try {
            folder.Rename(old, name);
        } catch (const ETransferFailure&) {
            // The old file stays under its hidden name: still there, if out of view.
        }
        throw;
    }
    try {
        folder.Remove(old);
    } catch (const ETransferFailure&) {
        // A hidden copy of the replaced file harms nobody; the next replace removes it.
    }
    return name;
}

} // namespace

std::string TemporaryName(const std::string& name) {
    return "." + name + ".part";
}

std::string NumberedName(const std::string& name, int n) {
    if (n == 1) {
        return name;
    }
    const std::filesystem::path path(name);
    return path.stem().string() + "_" + std::to_string(n) + path.extension().string();
}

std::string PercentEncoded(const std::string& name) {
    static const char* const Hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 15];
        }
    }
    return out;
}

std::string UnsafeNameReason(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return "it is no file name";
    }
    for (const char c : name) {
        if (c == '/' || c == '\\') {
            return "a file name holds no folder";
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            return "it holds a control character";
        }
    }
    return {};
}

TTransferResult CopyIntoFolder(const std::function<std::unique_ptr<TRemoteFolder>()>& open,
                               const std::vector<TTransferFile>& files, TNameClash clash,
                               const TPlacingListener& placing, const std::atomic<bool>* cancel) {
    TTransferResult result;
    result.Placed.assign(files.size(), std::string());
    try {
        const std::unique_ptr<TRemoteFolder> opened = open();
        TRemoteFolder& folder = *opened;
        const std::string& where = folder.Where();
        for (std::size_t i = 0; i < files.size(); ++i) {
            const TTransferFile& file = files[i];
            if (const std::string why = UnsafeNameReason(file.Name); !why.empty()) {
                throw ETransferFailure(TSendStatus::Permanent,
                                       where + ": \"" + file.Name + "\" cannot be copied: " + why);
            }
            std::error_code error;
            const std::uint64_t size = std::filesystem::file_size(file.Source, error);
            if (error) {
                throw ETransferFailure(TSendStatus::Permanent,
                                       "The file to copy, " + file.Source +
                                           ", cannot be read: " + error.message());
            }
            CheckCancel(cancel, where);
            if (!file.Placed.empty() && UnsafeNameReason(file.Placed).empty() &&
                folder.SizeOf(file.Placed) == size) {
                result.Placed[i] = file.Placed;
                continue;
            }
            const std::string temp = TemporaryName(file.Name);
            folder.Upload(file.Source, temp);
            CheckCancel(cancel, where);
            result.Placed[i] = clash == TNameClash::KeepBoth
                                   ? KeepBoth(folder, temp, file.Name, i, placing, where)
                                   : Replace(folder, temp, file.Name, i, placing, where);
        }
    } catch (const ETransferFailure& e) {
        result.Status = e.Status;
        result.Reason = e.what();
    }
    return result;
}

} // namespace host
