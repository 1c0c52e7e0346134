// The host's objects as a plug-in sees them: system objects with id and name, the host's
// object list, and the report objects that can prepare a report for export.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace host {

class TCustomSysObject {
public:
    TCustomSysObject(std::int32_t id, std::string name) : Id(id), Name(std::move(name)) {}
    virtual ~TCustomSysObject() = default;

    std::int32_t Id;
    std::string Name;
};

// A report the host can run. BuildPreview prepares it with the given arguments; true hands back
// a preview window (not shown) that owns a component named "Report"; false means the user
// cancelled. The caller destroys the window.
class TClientReport : public TCustomSysObject {
public:
    using TCustomSysObject::TCustomSysObject;
    virtual bool BuildPreview(const std::vector<rtl::TVariant>& arguments,
                              std::unique_ptr<rtl::TComponent>& window) = 0;
};

// The host's list of objects, in the order they were added. Owns its objects.
class TSysObjectList {
public:
    void Add(std::unique_ptr<TCustomSysObject> object);
    void Clear() noexcept { FObjects.clear(); }
    int Count() const noexcept { return static_cast<int>(FObjects.size()); }
    TCustomSysObject* Items(int index) const { return FObjects.at(std::size_t(index)).get(); }

    // True with the object of that id.
    bool FindById(std::int32_t id, TCustomSysObject*& object) const noexcept;

    // From index 0, each call yields the next object of class T (advancing index) and true;
    // false at the end.
    template <class T> bool ForEach(int& index, T*& object) const noexcept {
        while (index >= 0 && index < Count()) {
            object = dynamic_cast<T*>(FObjects[std::size_t(index++)].get());
            if (object != nullptr) {
                return true;
            }
        }
        object = nullptr;
        return false;
    }

private:
    std::vector<std::unique_ptr<TCustomSysObject>> FObjects;
};

// The host's message for a report id it does not know; a format with one text argument.
inline constexpr const char* _ERR_REPORT_NOT_FOUND = "Report not found (%s)";

// Version text for a plug-in's description record, from the build's date and time.
std::string DateToVersion(rtl::TDateTime value);

} // namespace host
