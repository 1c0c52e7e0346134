#include "platform/rtl/Component.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>

namespace rtl {

TComponent::TComponent(TComponent* owner, std::string name) : Name(std::move(name)), FOwner(owner) {
    if (FOwner != nullptr) {
        FOwner->FComponents.push_back(this);
    }
}

TComponent::~TComponent() {
    // Free the owned components last-created first; each unlinks itself below.
    while (!FComponents.empty()) {
        delete FComponents.back();
    }
    if (FOwner != nullptr) {
        auto& siblings = FOwner->FComponents;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

TComponent* TComponent::FindComponent(std::string_view name) const noexcept {
    for (TComponent* c : FComponents) {
        if (!name.empty() && SameText(c->Name, name)) {
            return c;
        }
    }
    return nullptr;
}

} // namespace rtl
