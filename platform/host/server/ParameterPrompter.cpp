#include "platform/host/server/ParameterPrompter.h"

namespace host {

namespace {
TParameterPrompter& Installed() noexcept {
    static TParameterPrompter prompter;
    return prompter;
}
} // namespace

TParameterPrompter SetParameterPrompter(TParameterPrompter prompter) {
    TParameterPrompter previous = std::move(Installed());
    Installed() = std::move(prompter);
    return previous;
}

const TParameterPrompter& CurrentParameterPrompter() noexcept {
    return Installed();
}

} // namespace host
