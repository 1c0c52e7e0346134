#include "platform/host/core/SysObjects.h"

namespace host {

void TSysObjectList::Add(std::unique_ptr<TCustomSysObject> object) {
    FObjects.push_back(std::move(object));
}

bool TSysObjectList::FindById(std::int32_t id, TCustomSysObject*& object) const noexcept {
    for (const auto& candidate : FObjects) {
        if (candidate->Id == id) {
            object = candidate.get();
            return true;
        }
    }
    object = nullptr;
    return false;
}

std::string DateToVersion(rtl::TDateTime value) {
    // year.month.day.build, the build being the minutes of that day: 2026.3.3.826
    const rtl::TDecodedDateTime d = rtl::DecodeDateTime(value);
    return std::to_string(d.Year) + "." + std::to_string(d.Month) + "." + std::to_string(d.Day) +
           "." + std::to_string(d.Hour * 60 + d.Minute);
}

} // namespace host
