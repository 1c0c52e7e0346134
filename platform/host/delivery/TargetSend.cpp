#include "platform/host/delivery/TargetSend.h"

#include "platform/host/delivery/WebHook.h"

#include <cstdlib>

namespace host {

namespace {

TTransferResult Final(const std::string& reason) {
    TTransferResult result;
    result.Status = TSendStatus::Permanent;
    result.Reason = reason;
    return result;
}

} // namespace

TTransferResult SendToTarget(const TOutboxEntry& entry, const TLoginSource& logins,
                             const TPlacingListener& placing, const std::atomic<bool>* cancel) {
    TDeliveryTarget target;
    if (const std::string fault = ParseDeliveryTarget(entry.Target, target); !fault.empty()) {
        return Final(fault);
    }
    if (target.Kind == TTargetKind::WebHook) {
        TTransferResult result;
        static_cast<TSendResult&>(result) = PostWebHook(target.Url, entry.Mail.Body, cancel);
        return result;
    }
    TTransferLogin login;
    try {
        if (logins) {
            login = logins(target);
        }
    } catch (const std::exception& e) {
        TTransferResult held;
        held.Status = TSendStatus::Transient;
        held.Reason = e.what();
        return held;
    }
    if (login.User.empty()) {
        login.User = target.User;
    }
    login.KnownHostsFile = target.KnownHosts;
    if (login.KnownHostsFile.empty()) {
        const char* home = std::getenv("HOME");
        login.KnownHostsFile = std::string(home != nullptr ? home : "") + "/.ssh/known_hosts";
    }
    std::vector<TTransferFile> files;
    for (std::size_t i = 0; i < entry.Mail.Attachments.size(); ++i) {
        const TMailAttachment& file = entry.Mail.Attachments[i];
        files.push_back({file.Path, file.Name, i < entry.Placed.size() ? entry.Placed[i] : ""});
    }
    const TNameClash clash = target.KeepBoth ? TNameClash::KeepBoth : TNameClash::Replace;
    return target.Kind == TTargetKind::Share
               ? CopyToShare(target.Url, login, files, clash, placing, cancel)
               : CopyOverSftp(target.Url, login, files, clash, placing, cancel);
}

} // namespace host
