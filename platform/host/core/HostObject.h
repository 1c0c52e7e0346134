// THostObject: the base of the objects a plug-in reaches by name through the client, and
// THostObjectRegistry, the client's by-name lookup of them.
#pragma once

#include "platform/host/core/Export.h"
#include "platform/rtl/SysUtils.h"

#include <map>
#include <string>
#include <vector>

namespace host {

class THostObjectRegistry;

// Misuse of host objects: menus, bars, commands and the lookup. Messages name the object.
class EHostObjectError : public rtl::Exception {
public:
    using Exception::Exception;
};

class QUOR_EXPORT THostObject {
public:
    THostObject() = default;
    // Leaves the registry it is listed in, so a lookup never yields a destroyed object.
    virtual ~THostObject();
    THostObject(const THostObject&) = delete;
    THostObject& operator=(const THostObject&) = delete;

private:
    friend class THostObjectRegistry;
    THostObjectRegistry* FRegistry = nullptr;
};

// Names to objects, letter case ignored. Does not own the objects; an object is listed in at
// most one registry, under any number of names.
class QUOR_EXPORT THostObjectRegistry {
public:
    THostObjectRegistry() = default;
    ~THostObjectRegistry();
    THostObjectRegistry(const THostObjectRegistry&) = delete;
    THostObjectRegistry& operator=(const THostObjectRegistry&) = delete;

    // Lists `object` under `name`, replacing what that name listed before. Raises
    // EHostObjectError for an empty name, a nullptr, or an object listed in another registry.
    void Register(const std::string& name, THostObject* object);
    // Removes the name; unknown names are ignored.
    void Unregister(const std::string& name);
    // Removes every name of the object.
    void Unregister(THostObject* object) noexcept;

    THostObject* Find(const std::string& name) const;
    int Count() const noexcept { return static_cast<int>(FObjects.size()); }
    std::vector<std::string> Names() const;

private:
    void Release(THostObject* object) noexcept;

    // Keyed by the lower-case name; the value keeps the name as registered.
    struct TEntry {
        std::string Name;
        THostObject* Object;
    };
    std::map<std::string, TEntry> FObjects;
};

} // namespace host
