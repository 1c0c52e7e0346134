// What every morvid-cron command shares: its entry-point shape, the option reader, and
// moments read and written as "YYYY-MM-DD HH:MM:SS".
#pragma once

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace morvid::cron {

// Exit codes: 0 done, 1 the command line was wrong, 2 the schedule or the moment failed.
inline constexpr int ExitOk = 0;
inline constexpr int ExitUsage = 1;
inline constexpr int ExitFailed = 2;

// A mistake on the command line; its message says which argument and why.
class EUsageError : public rtl::Exception {
public:
    using Exception::Exception;
};

struct TCommandIo {
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
};

using TCommandMain = int (*)(const std::vector<std::string>& args, TCommandIo& io);

struct TCommand {
    const char* Name;
    rtl::TWordsTemplate Summary;
    TCommandMain Main;
};

int CheckMain(const std::vector<std::string>& args, TCommandIo& io);
int ExplainMain(const std::vector<std::string>& args, TCommandIo& io);
int NextMain(const std::vector<std::string>& args, TCommandIo& io);
int BatchMain(const std::vector<std::string>& args, TCommandIo& io);
int WatchMain(const std::vector<std::string>& args, TCommandIo& io);

// Splits a command's arguments into "--name value" / "--name=value" options, flags and
// positional arguments. Raises EUsageError for an option it was not told about.
class TOptionReader {
public:
    TOptionReader(const std::vector<std::string>& args,
                  const std::vector<std::string>& valueOptions,
                  const std::vector<std::string>& flags);

    bool Has(const std::string& name) const;
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Positional() const { return FPositional; }

private:
    std::vector<std::pair<std::string, std::string>> FOptions;
    std::vector<std::string> FPositional;
};

// Reads "YYYY-MM-DD HH:MM:SS[.mmm]" (or a shorter ISO form); raises EUsageError naming the
// option and the text otherwise.
rtl::TDateTime ParseMoment(const std::string& option, const std::string& text);
std::string FormatMoment(rtl::TDateTime value);

} // namespace morvid::cron
