// The copy to a Windows or Samba share, through Samba's client library. Each call has a context of
// its own, so calls share no connection and no login.
#include "platform/host/delivery/FileTransfer.h"
#include "platform/host/delivery/RemoteCopy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libsmbclient.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace host {

namespace {

// Samba's client sends one write of this size at a time and waits for its answer: with smaller
// pieces a copy spends its time on round trips.
constexpr std::size_t WriteChunkBytes = 8U * 1024 * 1024;
// For one request, a piece of WriteChunkBytes included.
constexpr int RequestTimeoutMs = 120'000;

TSendStatus Classify(int error) {
    switch (error) {
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
    case EAGAIN:
    case EINTR:
    case EIO:
    case ENOSPC:
    case EBUSY:
    case ENOMEM:
        return TSendStatus::Transient;
    default:
        // A refused login or access (EACCES, EPERM), a missing share or folder (ENOENT, ENODEV,
        // ENOTDIR) and what the server rejects as invalid stay so on the next attempt.
        return TSendStatus::Permanent;
    }
}

void Fill(char* buffer, int size, const std::string& value) {
    if (size > 0) {
        std::snprintf(buffer, static_cast<std::size_t>(size), "%s", value.c_str());
    }
}

void GiveLogin(SMBCCTX* context, const char*, const char*, char* domain, int domainSize, char* user,
               int userSize, char* password, int passwordSize) {
    const auto* login = static_cast<const TTransferLogin*>(smbc_getOptionUserData(context));
    if (!login->Domain.empty()) {
        Fill(domain, domainSize, login->Domain);
    }
    Fill(user, userSize, login->User);
    Fill(password, passwordSize, login->Password);
}

struct TLocalFile {
    int Fd;
    explicit TLocalFile(int fd) : Fd(fd) {}
    TLocalFile(const TLocalFile&) = delete;
    TLocalFile& operator=(const TLocalFile&) = delete;
    ~TLocalFile() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
};

using TContext = std::unique_ptr<SMBCCTX, void (*)(SMBCCTX*)>;

void FreeContext(SMBCCTX* context) {
    smbc_free_context(context, 1);
}

class TShareFolder final : public TRemoteFolder {
public:
    TShareFolder(const std::string& url, const TTransferLogin& login,
                 const std::atomic<bool>* cancel)
        : FLogin(login), FCancel(cancel) {
        ParseUrl(url);
        if (FLogin.User.empty()) {
            throw ETransferFailure(TSendStatus::Permanent, FWhere + ": no user is set");
        }
        SMBCCTX* context = smbc_new_context();
        if (context == nullptr) {
            throw ETransferFailure(TSendStatus::Transient,
                                   FWhere + ": Samba's client library cannot start");
        }
        // Only what the copy depends on is set here, over whatever smb.conf the library read:
        // SMB2 and later only, the credential's own login (never a guest's, never a Kerberos
        // ticket of whoever runs the program), and the port of the address.
        smbc_setDebug(context, 0);
        smbc_setOptionUserData(context, &FLogin);
        smbc_setFunctionAuthDataWithContext(context, &GiveLogin);
        smbc_setOptionProtocols(context, "SMB2_02", "SMB3");
        smbc_setOptionUseKerberos(context, 0);
        smbc_setOptionFallbackAfterKerberos(context, 1);
        smbc_setOptionNoAutoAnonymousLogin(context, 1);
        smbc_setTimeout(context, RequestTimeoutMs);
        if (FPort != 0) {
            smbc_setPort(context, FPort);
        }
        if (smbc_init_context(context) == nullptr) {
            const int error = errno;
            smbc_free_context(context, 1);
            throw ETransferFailure(TSendStatus::Transient, FWhere +
                                                               ": Samba's client library cannot "
                                                               "start: " +
                                                               std::strerror(error));
        }
        FContext.reset(context);
    }

    const std::string& Where() const override { return FWhere; }

    std::optional<std::uint64_t> SizeOf(const std::string& name) override {
        struct stat info {};
        if (smbc_getFunctionStat(Context())(Context(), FileUrl(name).c_str(), &info) == 0) {
            return static_cast<std::uint64_t>(info.st_size);
        }
        if (errno == ENOENT) {
            return std::nullopt;
        }
        throw Failure(errno, "\"" + name + "\" cannot be looked at");
    }

    std::set<std::string> Names() override {
        SMBCFILE* dir = smbc_getFunctionOpendir(Context())(Context(), (FUrl + "/").c_str());
        if (dir == nullptr) {
            throw Failure(errno, "the folder cannot be listed");
        }
        std::set<std::string> names;
        while (const smbc_dirent* entry = smbc_getFunctionReaddir(Context())(Context(), dir)) {
            names.insert(entry->name);
        }
        smbc_getFunctionClosedir(Context())(Context(), dir);
        return names;
    }

    void Upload(const std::string& source, const std::string& name) override {
        const TLocalFile file{::open(source.c_str(), O_RDONLY | O_CLOEXEC)};
        const int in = file.Fd;
        if (in < 0) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   "The file to copy, " + source +
                                       ", cannot be read: " + std::strerror(errno));
        }
        SMBCFILE* out = smbc_getFunctionOpen(Context())(Context(), FileUrl(name).c_str(),
                                                        O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out == nullptr) {
            throw Failure(errno, "\"" + name + "\" cannot be written");
        }
        int error = 0;
        std::vector<char> buffer(WriteChunkBytes);
        for (;;) {
            if (FCancel != nullptr && FCancel->load()) {
                error = ECANCELED;
                break;
            }
            const ssize_t got = ::read(in, buffer.data(), buffer.size());
            if (got <= 0) {
                error = got < 0 ? errno : 0;
                break;
            }
            for (ssize_t done = 0; done < got && error == 0;) {
                const ssize_t wrote = smbc_getFunctionWrite(Context())(
                    Context(), out, buffer.data() + done, static_cast<std::size_t>(got - done));
                if (wrote <= 0) {
                    error = wrote < 0 ? errno : EIO;
                }
                done += wrote > 0 ? wrote : 0;
            }
            if (error != 0) {
                break;
            }
        }
        // Closing flushes nothing more on SMB, but it can be where the server says the disk is
        // full.
        if (smbc_getFunctionClose(Context())(Context(), out) != 0 && error == 0) {
            error = errno;
        }
        if (error == ECANCELED) {
            throw ETransferFailure(TSendStatus::Transient, FWhere + ": the copy was cut short");
        }
        if (error != 0) {
            throw Failure(error, "\"" + name + "\" cannot be written");
        }
    }

    void Rename(const std::string& from, const std::string& to) override {
        // Samba's client replaces a file of the new name without being asked; the rule here is
        // never to, so the name is looked at first (a writer may still come between).
        if (SizeOf(to)) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   FWhere + ": \"" + to + "\" exists already");
        }
        if (smbc_getFunctionRename(Context())(Context(), FileUrl(from).c_str(), Context(),
                                              FileUrl(to).c_str()) != 0) {
            throw Failure(errno, "\"" + from + "\" cannot be renamed to \"" + to + "\"");
        }
    }

    void Remove(const std::string& name) override {
        if (smbc_getFunctionUnlink(Context())(Context(), FileUrl(name).c_str()) != 0) {
            throw Failure(errno, "\"" + name + "\" cannot be removed");
        }
    }

private:
    SMBCCTX* Context() const { return FContext.get(); }

    // smb://server[:port]/share/folder: the port goes to the context, the rest stays an address.
    void ParseUrl(const std::string& url) {
        FWhere = url;
        while (FWhere.size() > 1 && FWhere.back() == '/') {
            FWhere.pop_back();
        }
        const std::string scheme = "smb://";
        const std::size_t slash = FWhere.find('/', scheme.size());
        const std::string server = FWhere.substr(
            scheme.size(), slash == std::string::npos ? slash : slash - scheme.size());
        const std::string path = slash == std::string::npos ? "" : FWhere.substr(slash);
        const std::size_t colon = server.rfind(':');
        const std::string host = colon == std::string::npos ? server : server.substr(0, colon);
        if (FWhere.rfind(scheme, 0) != 0 || host.empty() || path.size() < 2 ||
            host.find('@') != std::string::npos) {
            throw ETransferFailure(TSendStatus::Permanent,
                                   "\"" + url +
                                       "\" is no share's address (smb://server/share/folder)");
        }
        if (colon != std::string::npos) {
            const std::string port = server.substr(colon + 1);
            char* end = nullptr;
            const long number = std::strtol(port.c_str(), &end, 10);
            if (port.empty() || *end != '\0' || number <= 0 || number > 65535) {
                throw ETransferFailure(TSendStatus::Permanent, "\"" + url + "\" has no valid port");
            }
            FPort = static_cast<std::uint16_t>(number);
        }
        // The folder's path is kept as typed: libsmbclient decodes %XX in it as in a URL.
        FUrl = scheme + host + path;
    }

    std::string FileUrl(const std::string& name) const { return FUrl + "/" + PercentEncoded(name); }

    ETransferFailure Failure(int error, const std::string& what) const {
        std::string reason = what + ": " + std::strerror(error);
        if (error == EACCES || error == EPERM) {
            reason =
                "the login of \"" + FLogin.User + "\" or its access was refused (" + what + ")";
        } else if (error == ENOENT || error == ENODEV || error == ENOTDIR) {
            reason = "the share or the folder is missing (" + what + ")";
        }
        return ETransferFailure(Classify(error), FWhere + ": " + reason);
    }

    TTransferLogin FLogin;
    const std::atomic<bool>* FCancel;
    std::string FUrl;   // without the port, the path encoded, no trailing slash
    std::string FWhere; // the address as reasons name it
    std::uint16_t FPort = 0;
    TContext FContext{nullptr, &FreeContext};
};

} // namespace

TTransferResult CopyToShare(const std::string& url, const TTransferLogin& login,
                            const std::vector<TTransferFile>& files, TNameClash clash,
                            const TPlacingListener& placing, const std::atomic<bool>* cancel) {
    // Samba's client library keeps its configuration and its memory pools in globals that are
    // not guarded between threads: one copy to a share at a time in the process.
    static std::mutex one;
    const std::lock_guard<std::mutex> lock(one);
    return CopyIntoFolder([&] { return std::make_unique<TShareFolder>(url, login, cancel); }, files,
                          clash, placing, cancel);
}

} // namespace host
