#include "Component.h"

#include <algorithm>

namespace cls {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    while (!linked_.empty()) {
        TComponent* c = linked_.back();
        linked_.pop_back();
        std::erase(c->linked_, this);
        c->Notification(this);
    }
    while (!components_.empty()) {
        TComponent* c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        Notification(c);
        delete c;
    }
    if (owner_) owner_->Remove(this);
}

void TComponent::Remove(TComponent* c) {
    auto it = std::find(components_.begin(), components_.end(), c);
    if (it == components_.end()) return;
    components_.erase(it);
    if (!destroying_) Notification(c);
}

void TComponent::FreeNotification(TComponent* other) {
    // An owned component is reported by its owner already.
    if (!other || other == this || other->owner_ == this) return;
    if (std::find(linked_.begin(), linked_.end(), other) != linked_.end()) return;
    linked_.push_back(other);
    other->linked_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (!other) return;
    std::erase(linked_, other);
    std::erase(other->linked_, this);
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
    for (TComponent* c : components_)
        if (!name.empty() && c->Name == name) return c;
    return nullptr;
}

}  // namespace cls
