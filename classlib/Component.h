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

    // For a reference to a component this one does not own: each of the two
    // is told through Notification when the other is freed.
    void FreeNotification(TComponent* other);
    // Ends that link, when the reference is dropped.
    void RemoveFreeNotification(TComponent* other);

    std::wstring Name;

protected:
    // Told when an owned or linked component goes away, so references to it
    // can be dropped.
    virtual void Notification(TComponent*) {}

private:
    void Remove(TComponent* c);

    TComponent* owner_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> linked_;
    bool destroying_ = false;
};

}  // namespace cls
