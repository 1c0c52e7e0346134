// The copy over SFTP, through libcurl (with libssh2 below it). One easy handle serves every step
// of an attempt, so the upload, the listing and the renames share one SSH connection.
#include "platform/host/delivery/FileTransfer.h"
#include "platform/host/delivery/RemoteCopy.h"

#include <cstdio>
#include <curl/curl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace host {

namespace {

// libssh2 keeps this much of the file in flight as pipelined SFTP writes; less makes the copy
// wait on round trips.
constexpr long UploadBufferBytes = 2L * 1024 * 1024;
constexpr long ConnectSeconds = 30;
// A server that takes no byte for this long is taken as gone.
constexpr long StallSeconds = 60;

using TEasy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using TFile = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

// Refuses every host key that is not the one known_hosts has for the host: an unknown key is as
// unwelcome as a changed one, and nothing is written to the file.
int CheckHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match, void* seen) {
    *static_cast<curl_khmatch*>(seen) = match;
    return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
}

int CheckCancel(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return cancel != nullptr && static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

TSendStatus Classify(CURLcode code) {
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_LOGIN_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_QUOTE_ERROR:
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_READ_ERROR:
    case CURLE_FILE_COULDNT_READ_FILE:
        return TSendStatus::Permanent;
    default:
        // Refused or cut connections, time-outs, a full disk and libssh2's own session faults:
        // the server or the network may well be back later.
        return TSendStatus::Transient;
    }
}

// A path in a quote command: curl reads it as a C-like string between double quotes.
std::string Quoted(const std::string& path) {
    std::string out = "\"";
    for (const char c : path) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

class TSftpFolder final : public TRemoteFolder {
public:
    TSftpFolder(const std::string& url, const TTransferLogin& login,
                const std::atomic<bool>* cancel)
        : FLogin(login), FCancel(cancel) {
        ParseUrl(url);
        if (FLogin.KnownHostsFile.empty()) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   FWhere + ": no known_hosts file is set, and a host key is never "
                                            "taken unchecked");
        }
        if (::access(FLogin.KnownHostsFile.c_str(), R_OK) != 0) {
            throw ETransferFailure(TSendStatus::Permanent, FWhere + ": the known_hosts file " +
                                                               FLogin.KnownHostsFile +
                                                               " cannot be read");
        }
        if (!FLogin.KeyFile.empty() && ::access(FLogin.KeyFile.c_str(), R_OK) != 0) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   FWhere + ": the key file " + FLogin.KeyFile + " cannot be read");
        }
        if (FLogin.User.empty()) {
            throw ETransferFailure(TSendStatus::Permanent, FWhere + ": no user is set");
        }
        if (FEasy == nullptr) {
            throw ETransferFailure(TSendStatus::Transient, "libcurl cannot make a transfer");
        }
    }

    const std::string& Where() const override { return FWhere; }

    std::optional<std::uint64_t> SizeOf(const std::string& name) override {
        Prepare(FileUrl(name));
        Set(CURLOPT_NOBODY, 1L);
        const CURLcode code = curl_easy_perform(FEasy.get());
        if (code == CURLE_REMOTE_FILE_NOT_FOUND) {
            return std::nullopt;
        }
        Check(code, "\"" + name + "\" cannot be looked at");
        curl_off_t length = -1;
        curl_easy_getinfo(FEasy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        // libcurl says -1 for an empty file.
        return static_cast<std::uint64_t>(length < 0 ? 0 : length);
    }

    std::set<std::string> Names() override {
        std::string listing;
        Prepare(FUrl + "/");
        Set(CURLOPT_DIRLISTONLY, 1L);
        Set(CURLOPT_WRITEFUNCTION, &Collect);
        Set(CURLOPT_WRITEDATA, &listing);
        Check(curl_easy_perform(FEasy.get()), "the folder cannot be listed");
        std::set<std::string> names;
        for (std::size_t start = 0; start < listing.size();) {
            std::size_t end = listing.find('\n', start);
            end = end == std::string::npos ? listing.size() : end;
            names.insert(listing.substr(start, end - start));
            start = end + 1;
        }
        return names;
    }

    void Upload(const std::string& source, const std::string& name) override {
        TFile file(std::fopen(source.c_str(), "rb"), &std::fclose);
        if (file == nullptr) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   "The file to copy, " + source + ", cannot be read");
        }
        std::error_code error;
        const auto size = static_cast<curl_off_t>(std::filesystem::file_size(source, error));
        Prepare(FileUrl(name));
        Set(CURLOPT_UPLOAD, 1L);
        Set(CURLOPT_READDATA, file.get());
        Set(CURLOPT_INFILESIZE_LARGE, size);
        Set(CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferBytes);
        Check(curl_easy_perform(FEasy.get()), "\"" + name + "\" cannot be written");
    }

    void Rename(const std::string& from, const std::string& to) override {
        // SFTP's own rename (what libcurl sends) never replaces a file on OpenSSH's server, which
        // is the behaviour this interface asks for.
        Command("rename " + Quoted(FPath + "/" + from) + " " + Quoted(FPath + "/" + to),
                "\"" + from + "\" cannot be renamed to \"" + to + "\"");
    }

    void Remove(const std::string& name) override {
        Command("rm " + Quoted(FPath + "/" + name), "\"" + name + "\" cannot be removed");
    }

private:
    void ParseUrl(const std::string& url) {
        std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
        char* path = nullptr;
        char* password = nullptr;
        // Blanks are taken as typed; libcurl wants them encoded.
        for (const char c : url) {
            FUrl += c == ' ' ? std::string("%20") : std::string(1, c);
        }
        while (FUrl.size() > 1 && FUrl.back() == '/') {
            FUrl.pop_back();
        }
        FWhere = FUrl;
        if (parsed == nullptr || FUrl.rfind("sftp://", 0) != 0 ||
            curl_url_set(parsed.get(), CURLUPART_URL, FUrl.c_str(), 0) != CURLUE_OK ||
            curl_url_get(parsed.get(), CURLUPART_PATH, &path, CURLU_URLDECODE) != CURLUE_OK) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   "\"" + url +
                                       "\" is no SFTP address (sftp://host[:port]/folder)");
        }
        FPath = path;
        curl_free(path);
        // libcurl resolves "/~/" in a transfer's address but not in a quote command's path; there
        // a relative path does it, since the server starts in the user's home.
        if (FPath == "/~" || FPath == "/~/") {
            FPath = ".";
        } else if (FPath.rfind("/~/", 0) == 0) {
            FPath.erase(0, 3);
        }
        if (curl_url_get(parsed.get(), CURLUPART_PASSWORD, &password, 0) == CURLUE_OK) {
            curl_free(password);
            throw ETransferFailure(TSendStatus::Permanent,
                                   "An SFTP address holds no password; its credential does");
        }
        if (FPath.empty() || FPath == "/") {
            throw ETransferFailure(TSendStatus::Permanent,
                                   "\"" + url + "\" names no folder (sftp://host[:port]/folder)");
        }
    }

    std::string FileUrl(const std::string& name) const { return FUrl + "/" + PercentEncoded(name); }

    template <typename T> void Set(CURLoption option, T value) {
        if (curl_easy_setopt(FEasy.get(), option, value) != CURLE_OK) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   FWhere + ": libcurl refuses a setting it needs for SFTP");
        }
    }

    // Every step starts from the same settings; reset keeps the open connection for the next.
    void Prepare(const std::string& url) {
        curl_easy_reset(FEasy.get());
        FError[0] = '\0';
        FMatch = CURLKHMATCH_OK;
        Set(CURLOPT_URL, url.c_str());
        Set(CURLOPT_PROTOCOLS_STR, "sftp");
        Set(CURLOPT_ERRORBUFFER, FError);
        Set(CURLOPT_NOSIGNAL, 1L);
        Set(CURLOPT_WRITEFUNCTION, &Discard);
        Set(CURLOPT_CONNECTTIMEOUT, ConnectSeconds);
        Set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        Set(CURLOPT_LOW_SPEED_TIME, StallSeconds);
        Set(CURLOPT_SSH_KNOWNHOSTS, FLogin.KnownHostsFile.c_str());
        Set(CURLOPT_SSH_KEYFUNCTION, &CheckHostKey);
        Set(CURLOPT_SSH_KEYDATA, &FMatch);
        Set(CURLOPT_USERNAME, FLogin.User.c_str());
        if (!FLogin.KeyFile.empty()) {
            Set(CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY));
            Set(CURLOPT_SSH_PRIVATE_KEYFILE, FLogin.KeyFile.c_str());
            // libssh2 derives the public key from the private one.
            Set(CURLOPT_SSH_PUBLIC_KEYFILE, "");
            if (!FLogin.Password.empty()) {
                Set(CURLOPT_KEYPASSWD, FLogin.Password.c_str());
            }
        } else {
            // Servers that check passwords through PAM ask for them as keyboard-interactive.
            Set(CURLOPT_SSH_AUTH_TYPES,
                static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
            Set(CURLOPT_PASSWORD, FLogin.Password.c_str());
        }
        Set(CURLOPT_XFERINFOFUNCTION, &CheckCancel);
        Set(CURLOPT_XFERINFODATA, FCancel);
        Set(CURLOPT_NOPROGRESS, 0L);
    }

    void Command(const std::string& command, const std::string& what) {
        const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> commands(
            curl_slist_append(nullptr, command.c_str()), &curl_slist_free_all);
        if (commands == nullptr) {
            throw std::bad_alloc();
        }
        // A folder's address with no body: libcurl runs the command and transfers nothing.
        Prepare(FUrl + "/");
        Set(CURLOPT_NOBODY, 1L);
        Set(CURLOPT_QUOTE, commands.get());
        Check(curl_easy_perform(FEasy.get()), what);
    }

    void Check(CURLcode code, const std::string& what) const {
        if (code == CURLE_OK) {
            return;
        }
        std::string reason;
        if (code == CURLE_PEER_FAILED_VERIFICATION && FMatch == CURLKHMATCH_MISSING) {
            reason = "the server's host key is not in " + FLogin.KnownHostsFile;
        } else if (code == CURLE_PEER_FAILED_VERIFICATION && FMatch == CURLKHMATCH_MISMATCH) {
            reason = "the server's host key changed: it is not the one in " + FLogin.KnownHostsFile;
        } else if (code == CURLE_LOGIN_DENIED) {
            reason = "the login of \"" + FLogin.User + "\" was refused";
        } else if (code == CURLE_REMOTE_FILE_NOT_FOUND) {
            reason = "the folder is missing (" + what + ")";
        } else if (code == CURLE_REMOTE_ACCESS_DENIED) {
            reason = "\"" + FLogin.User + "\" may not write there (" + what + ")";
        } else if (code == CURLE_ABORTED_BY_CALLBACK) {
            reason = "the copy was cut short";
        } else {
            reason = what + ": " + (FError[0] != '\0' ? FError : curl_easy_strerror(code));
        }
        throw ETransferFailure(Classify(code), FWhere + ": " + reason);
    }

    TTransferLogin FLogin;
    const std::atomic<bool>* FCancel;
    std::string FUrl;   // the folder's address without a trailing slash
    std::string FPath;  // its path in quote commands: absolute, or relative to the home
    std::string FWhere; // the address as reasons name it
    TEasy FEasy{curl_easy_init(), &curl_easy_cleanup};
    char FError[CURL_ERROR_SIZE] = {};
    curl_khmatch FMatch = CURLKHMATCH_OK;
};

} // namespace

TTransferResult CopyOverSftp(const std::string& url, const TTransferLogin& login,
                             const std::vector<TTransferFile>& files, TNameClash clash,
                             const TPlacingListener& placing, const std::atomic<bool>* cancel) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return CopyIntoFolder([&] { return std::make_unique<TSftpFolder>(url, login, cancel); }, files,
                          clash, placing, cancel);
}

} // namespace host
