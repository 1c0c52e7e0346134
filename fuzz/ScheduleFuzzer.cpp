// Fuzzes the schedule parser and the next-due-time search together. The first input byte picks
// the reference moment and the start and end bounds; the rest is the schedule text.
#include "scheduler/ChronSchedule.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

using namespace morvid;

[[noreturn]] void Fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s for schedule \"%.*s\"\n", what, static_cast<int>(text.size()),
                 text.data());
    std::abort();
}

rtl::TDateTime ReferenceFor(std::uint8_t selector) {
    static const rtl::TDateTime references[] = {
        rtl::EncodeDateTime(2026, 12, 6, 14, 44, 28, 500),
        rtl::EncodeDateTime(2028, 2, 29, 23, 59, 59, 0),
        rtl::EncodeDateTime(1899, 12, 30, 0, 0, 0, 0),
        rtl::EncodeDateTime(2999, 12, 31, 23, 59, 59, 999),
        rtl::EncodeDateTime(1900, 1, 1, 0, 0, 0, 0),
        rtl::EncodeDateTime(2026, 3, 29, 2, 30, 0, 0),
        rtl::EncodeDateTime(1, 1, 1, 0, 0, 0, 0),
        rtl::EncodeDateTime(9999, 12, 31, 0, 0, 0, 0),
    };
    return references[selector % 8];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t selector = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const rtl::TDateTime from = ReferenceFor(selector);
    const rtl::TDateTime start = (selector & 0x08) ? from + 3.25 : 0;
    const rtl::TDateTime end = (selector & 0x10) ? from + 400 : 0;

    TChronSchedule entries;
    try {
        ParseChronSchedule(text, entries);
    } catch (const EScheduleError& e) {
        if (e.Message().empty()) {
            Fail("empty parser message", text);
        }
        return 0;
    }
    const TChronSchedule parsed = entries;
    rtl::TDateTime moment = from;
    const std::int64_t lowest =
        rtl::DateTimeToMilliSeconds(start > from ? start : from) / 1000 * 1000;
    for (int i = 0; i < 3; ++i) {
        rtl::TDateTime next = 0;
        try {
            next = NextOccurrence(entries, moment, start, end);
        } catch (const rtl::EConvertError& e) {
            if (e.Message() != "Invalid argument to time encode") {
                Fail("unexpected encoding error", text);
            }
            break;
        }
        if (!(entries == parsed)) {
            Fail("search changed the schedule", text);
        }
        if (next == 0) {
            break;
        }
        const std::int64_t ms = rtl::DateTimeToMilliSeconds(next);
        if (ms % 1000 != 0 || ms <= lowest || (end > 0 && next > end)) {
            Fail("due time out of bounds", text);
        }
        moment = next;
    }
    return 0;
}
