// Ownership tree of the program's objects: an owner frees what it owns, in
// reverse order of creation, and an object freed on its own leaves its
// owner's list.
#pragma once
#include <string>
#include <vector>

namespace cls {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int i) const { return components_.at(i); }
    TComponent* FindComponent(const std::wstring& name) const;

    std::wstring Name;

protected:
    // Told when an owned component goes away, so references can be dropped.
    virtual void ComponentRemoved(TComponent*) {}

private:
    void Remove(TComponent* c);

    TComponent* owner_;
    std::vector<TComponent*> components_;
    bool destroying_ = false;
};

}  // namespace cls
