#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/Component.h"

using cls::TComponent;

namespace {
struct Tracked : TComponent {
    Tracked(TComponent* owner, std::wstring name, std::vector<std::wstring>* log)
        : TComponent(owner), log_(log) {
        Name = std::move(name);
    }
    ~Tracked() override { log_->push_back(Name); }
    std::vector<std::wstring>* log_;
};
}  // namespace

TEST(Component, OwnerFreesWhatItOwnsNewestFirst) {
    std::vector<std::wstring> log;
    auto* root = new Tracked(nullptr, L"root", &log);
    new Tracked(root, L"a", &log);
    auto* b = new Tracked(root, L"b", &log);
    new Tracked(b, L"b1", &log);
    EXPECT_EQ(root->ComponentCount(), 2);
    EXPECT_EQ(root->FindComponent(L"b"), b);
    EXPECT_EQ(root->FindComponent(L"zz"), nullptr);
    delete root;
    // Each object finishes its own destructor before its owned ones go.
    EXPECT_EQ(log, (std::vector<std::wstring>{L"root", L"b", L"b1", L"a"}));
}

TEST(Component, FreedOnItsOwnLeavesTheOwner) {
    std::vector<std::wstring> log;
    Tracked root(nullptr, L"root", &log);
    auto* a = new Tracked(&root, L"a", &log);
    new Tracked(&root, L"b", &log);
    delete a;
    ASSERT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.Components(0)->Name, L"b");
}
