// The host's common package as one shared library: the runtime and every area of the host layer.
#include "platform/host/QuorClientCommon.h"

namespace host {

const char* QuorClientCommonVersion() noexcept {
    return "1.0.0";
}

} // namespace host
