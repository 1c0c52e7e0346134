// A task's own export file name: a pattern of text and fields ({task}, {report}, {ext},
// {due:FORMAT}, {period:FORMAT}, ...) that gives a path below the export folder, never outside.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <string>
#include <string_view>

namespace morvid {

// What the fields of a pattern stand for in one run.
struct TNameFields {
    std::string Task;
    std::string Report;
    std::string Ext; // the format's extension with its dot, ".pdf"
    rtl::TDateTime Due = 0;
    rtl::TDateTime PeriodStart = 0;
    rtl::TDateTime PeriodEnd = 0;
};

// The fault of a pattern for people ("Unknown field {date}"), empty for a pattern that can be
// used. Faults: an empty pattern, an unknown or unclosed field, a format no moment has, a
// slash at the start or the end, an empty, "." or ".." folder, a control character.
std::string NamePatternFault(std::string_view pattern);

// The path below the export folder, '/' between folders. {task} and {report} are the names with
// every '/' made '_' (and a name of dots only made underscores), so no name can reach another
// folder. Without {ext} the extension is added at the end. Raises rtl::Exception with the
// pattern's fault, or naming a part of the result that no file name can be.
std::string ExpandNamePattern(std::string_view pattern, const TNameFields& fields);

// `value` made one part of a path that stays in its folder: '/' and control characters made '_',
// and a value of dots only made underscores.
std::string SafeNamePart(std::string_view value);

// A moment in a format of y, M, d, H, m, s letters (yyyy, yy, MM, M, dd, d, HH, H, mm, m, ss,
// s), anything else kept as it is. Raises rtl::Exception for a run of letters no field has.
std::string FormatMoment(std::string_view format, rtl::TDateTime moment);

} // namespace morvid
