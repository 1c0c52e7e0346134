#include "platform/host/mail/MailServerLink.h"

#include "platform/host/core/QuorClient.h"

namespace host {

TMailServerLink* MailServerOf(IQuorClient& client) {
    return dynamic_cast<TMailServerLink*>(client.GetObject(MailServerObjectName));
}

} // namespace host
