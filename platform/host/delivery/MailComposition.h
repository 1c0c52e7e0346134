// A run's mail made from its task's order: which files go and which stay home, the subject and
// text from the task's templates or the built-in ones, the zip and the HTML summary.
#pragma once

#include "platform/host/delivery/MailMessage.h"
#include "platform/host/delivery/MailOrder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct TComposedMail {
    TMailMessage Mail; // subject, text and attachments; the caller gives addresses and identity
    // Why a file is not attached, one line each, for the log and the history.
    std::vector<std::string> Notes;
};

// Makes the mail of `order`. Every file the run wrote goes along (or the one zip of them, when
// the order asks for it) as long as the encoded files stay within `limitBytes` together; a file
// that does not fit stays home, and the text says where it is. The zip and the HTML summary are
// written into `staging`, which must outlive the mail's queuing (empty: the order asks for
// neither). Raises rtl::Exception naming a file or the zip that cannot be made.
TComposedMail ComposeMail(const TMailOrder& order, std::int64_t limitBytes,
                          const std::string& staging);

// Whether the mail of `order` makes files of its own (a zip, an HTML summary).
bool MakesFiles(const TMailOrder& order) noexcept;

// A new folder "staged-XXXXXX" in the spool for the files a mail makes, removed with what it
// holds when this goes: the outbox keeps links to what it queues. Should the process die first,
// the spool's pruning removes it.
class TStagingFolder {
public:
    // Makes the folder (and the spool, 0700) when `wanted`; raises rtl::Exception naming the
    // folder that cannot be made.
    TStagingFolder(const std::string& spoolFolder, bool wanted);
    ~TStagingFolder();
    TStagingFolder(const TStagingFolder&) = delete;
    TStagingFolder& operator=(const TStagingFolder&) = delete;

    // Empty when not wanted.
    const std::string& Path() const noexcept { return FPath; }

private:
    std::string FPath;
};

} // namespace host
