#include "tasks/ActiveDates.h"

#include "platform/rtl/Words.h"

#include <cmath>

namespace morvid {

bool TryParseActiveDay(std::string_view text, rtl::TDateTime& day) noexcept {
    rtl::TDateTime result = 0;
    if (text.size() != 10 || !rtl::TryParseDateTimeISO(text, result)) {
        return false;
    }
    day = result;
    return true;
}

TActiveState ActiveStateAt(const std::string& from, const std::string& until,
                           rtl::TDateTime moment) noexcept {
    const rtl::TDateTime today = std::floor(moment);
    rtl::TDateTime day = 0;
    if (TryParseActiveDay(from, day) && today < day) {
        return TActiveState::NotYet;
    }
    if (TryParseActiveDay(until, day) && today > day) {
        return TActiveState::Ended;
    }
    return TActiveState::Active;
}

const char* ActiveStateText(TActiveState state) noexcept {
    switch (state) {
    case TActiveState::NotYet:
        return MORVID_WORDS("ActiveDates", "Not yet active").Text;
    case TActiveState::Ended:
        return MORVID_WORDS("ActiveDates", "Ended").Text;
    case TActiveState::Active:
        break;
    }
    return "";
}

} // namespace morvid
