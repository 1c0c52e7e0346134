// The host's common package: the runtime and the host layer in one shared library.
// Plug-ins and the reference client link it; nothing else of the host is visible to them.
#pragma once

namespace host {

const char* QuorClientCommonVersion() noexcept;

} // namespace host
