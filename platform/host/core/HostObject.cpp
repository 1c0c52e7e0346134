#include "platform/host/core/HostObject.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>

namespace host {

THostObject::~THostObject() {
    if (FRegistry != nullptr) {
        FRegistry->Unregister(this);
    }
}

THostObjectRegistry::~THostObjectRegistry() {
    for (auto& [key, entry] : FObjects) {
        entry.Object->FRegistry = nullptr;
    }
}

void THostObjectRegistry::Register(const std::string& name, THostObject* object) {
    if (name.empty()) {
        throw EHostObjectError("A host object needs a name");
    }
    if (object == nullptr) {
        throw EHostObjectError(rtl::Format("Host object %s is nil", name.c_str()));
    }
    if (object->FRegistry != nullptr && object->FRegistry != this) {
        throw EHostObjectError(
            rtl::Format("Host object %s is listed in another registry", name.c_str()));
    }
    const std::string key = rtl::LowerCase(name);
    auto found = FObjects.find(key);
    if (found != FObjects.end()) {
        THostObject* previous = found->second.Object;
        FObjects.erase(found);
        Release(previous);
    }
    FObjects.emplace(key, TEntry{name, object});
    object->FRegistry = this;
}

void THostObjectRegistry::Unregister(const std::string& name) {
    auto found = FObjects.find(rtl::LowerCase(name));
    if (found == FObjects.end()) {
        return;
    }
    THostObject* object = found->second.Object;
    FObjects.erase(found);
    Release(object);
}

void THostObjectRegistry::Unregister(THostObject* object) noexcept {
    std::erase_if(FObjects, [object](const auto& item) { return item.second.Object == object; });
    if (object != nullptr && object->FRegistry == this) {
        object->FRegistry = nullptr;
    }
}

THostObject* THostObjectRegistry::Find(const std::string& name) const {
    auto found = FObjects.find(rtl::LowerCase(name));
    return found == FObjects.end() ? nullptr : found->second.Object;
}

std::vector<std::string> THostObjectRegistry::Names() const {
    std::vector<std::string> names;
    names.reserve(FObjects.size());
    for (const auto& [key, entry] : FObjects) {
        names.push_back(entry.Name);
    }
    return names;
}

// Forgets the registry in the object once no name lists it any more.
void THostObjectRegistry::Release(THostObject* object) noexcept {
    const bool stillListed =
        std::any_of(FObjects.begin(), FObjects.end(),
                    [object](const auto& item) { return item.second.Object == object; });
    if (!stillListed) {
        object->FRegistry = nullptr;
    }
}

} // namespace host
