#include "platform/host/core/QuorClient.h"

namespace host {

// Out of line so that the interface's type information lives once, in the host package,
// and dynamic_cast agrees on both sides of dlopen.
IQuorClient::~IQuorClient() = default;

} // namespace host
