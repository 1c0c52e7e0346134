// The process-wide seam through which a server report asks someone for the values of required
// parameters that have neither an argument nor a default. No prompter means no one can answer.
#pragma once

#include "platform/host/server/ReportDefinition.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <string>
#include <vector>

namespace host {

struct TParameterRequest {
    std::string Name;
    TReportParamType Type = TReportParamType::Text;
    // Empty on the way in; the answer on the way out, in any form the parameter accepts.
    rtl::TVariant Value;
};

// Fills the Value of every request and returns true, or returns false when the user cancelled.
using TParameterPrompter =
    std::function<bool(const std::string& reportName, std::vector<TParameterRequest>& requests)>;

// Installs the prompter (an empty function removes it) and hands back the one it replaces.
// Main thread only, like every report run.
TParameterPrompter SetParameterPrompter(TParameterPrompter prompter);
// The prompter in force; an empty function when none is installed.
const TParameterPrompter& CurrentParameterPrompter() noexcept;

// Installs a prompter for the lifetime of a scope and puts the previous one back afterwards.
class TParameterPrompterScope {
public:
    explicit TParameterPrompterScope(TParameterPrompter prompter)
        : FPrevious(SetParameterPrompter(std::move(prompter))) {}
    ~TParameterPrompterScope() { SetParameterPrompter(std::move(FPrevious)); }
    TParameterPrompterScope(const TParameterPrompterScope&) = delete;
    TParameterPrompterScope& operator=(const TParameterPrompterScope&) = delete;

private:
    TParameterPrompter FPrevious;
};

} // namespace host
