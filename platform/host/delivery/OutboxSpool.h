// What a queued mail attaches, kept from the moment it is queued until the mail is done: a hard
// link to each file in a folder of the mail's own beside the run history, or a copy where no link
// can be made. Retention, a later run that replaces the file, or a person tidying the export
// folder then no longer change what the mail carries.
#pragma once

#include "platform/host/delivery/MailMessage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class TOutboxSpool {
public:
    // The folder "<history>-spool", made (0700) when the first mail is kept.
    explicit TOutboxSpool(const std::string& historyFile);

    const std::string& Folder() const noexcept { return FFolder; }

    // Keeps every attachment of `mail` in a new folder named `token` and points the attachments
    // at what is kept; returns that folder. Raises rtl::Exception naming the file that cannot be
    // kept, and keeps nothing then.
    std::string Keep(TMailMessage& mail, const std::string& token) const;
    // Removes a mail's folder and what it holds; a folder outside the spool is never touched.
    // False when something stayed.
    bool Remove(const std::string& folder) const noexcept;
    // The folders of the spool older than `minAgeSeconds` that no mail in `needed` keeps:
    // left by a crash between keeping and queuing, or between the end and the removal.
    std::vector<std::string> Leftovers(const std::vector<std::string>& needed,
                                       std::int64_t minAgeSeconds) const;

private:
    std::string FFolder;
};

} // namespace host
