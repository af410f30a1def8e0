#include "Component.h"

#include <algorithm>

namespace cls {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    while (!components_.empty()) {
        TComponent* c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        ComponentRemoved(c);
        delete c;
    }
    if (owner_) owner_->Remove(this);
}

void TComponent::Remove(TComponent* c) {
    auto it = std::find(components_.begin(), components_.end(), c);
    if (it == components_.end()) return;
    components_.erase(it);
    if (!destroying_) ComponentRemoved(c);
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
    for (TComponent* c : components_)
        if (!name.empty() && c->Name == name) return c;
    return nullptr;
}

}  // namespace cls
