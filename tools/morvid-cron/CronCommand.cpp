#include "tools/morvid-cron/CronCommand.h"

#include <algorithm>

namespace morvid::cron {

TOptionReader::TOptionReader(const std::vector<std::string>& args,
                             const std::vector<std::string>& valueOptions,
                             const std::vector<std::string>& flags) {
    auto known = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A schedule may begin with "-" or be empty; "--" ends the options.
        if (onlyPositional || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (arg == "--") {
                onlyPositional = true;
                continue;
            }
            FPositional.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (known(flags, name)) {
            if (equals != std::string::npos) {
                throw EUsageError("option '" + name + "' takes no value");
            }
            FOptions.emplace_back(name, std::string());
        } else if (known(valueOptions, name)) {
            if (equals != std::string::npos) {
                FOptions.emplace_back(name, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                FOptions.emplace_back(name, args[++i]);
            } else {
                throw EUsageError("option '" + name + "' needs a value");
            }
        } else {
            throw EUsageError("unknown option '" + name + "'");
        }
    }
}

bool TOptionReader::Has(const std::string& name) const {
    return std::any_of(FOptions.begin(), FOptions.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::optional<std::string> TOptionReader::Value(const std::string& name) const {
    std::optional<std::string> value;
    for (const auto& option : FOptions) {
        if (option.first == name) {
            value = option.second; // the last one given wins
        }
    }
    return value;
}

rtl::TDateTime ParseMoment(const std::string& option, const std::string& text) {
    rtl::TDateTime value = 0;
    if (!rtl::TryParseDateTimeISO(text, value)) {
        throw EUsageError(option + ": '" + text +
                          "' is not a moment of the form YYYY-MM-DD HH:MM:SS[.mmm]");
    }
    return value;
}

std::string FormatMoment(rtl::TDateTime value) {
    return rtl::FormatDateTimeISO(value);
}

} // namespace morvid::cron
