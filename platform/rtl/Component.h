// TComponent: a named object that owns the components created with it as owner.
// Freeing an owner frees what it owns; a component found by name is never owned by the finder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr, std::string name = {});
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string Name;

    TComponent* Owner() const noexcept { return FOwner; }
    int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
    // The owned component of that name (letter case ignored), or nullptr.
    TComponent* FindComponent(std::string_view name) const noexcept;

private:
    TComponent* FOwner;
    std::vector<TComponent*> FComponents;
};

} // namespace rtl
