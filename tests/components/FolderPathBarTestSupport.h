// A folder path bar on a shown form over a temporary folder tree, for the
// bar's tests: folders are made by name, and the bar is driven through the
// window messages a user's mouse and keyboard produce.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "components/FolderPathBar.h"
#include "components/FolderPathBarLayout.h"
#include "tests/components/Pump.h"
#include "tests/support/TempFolder.h"

namespace pathbar_test {

// Makes Folder (relative to Root, "\"-separated) with every parent; the
// attributes are added to the last level.
inline std::wstring MakeFolder(const std::wstring& root, const std::wstring& relative, DWORD attributes = 0) {
    std::wstring path = root;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find(L'\\', start);
        if (end == std::wstring::npos) end = relative.size();
        path += relative.substr(start, end - start);
        CreateDirectoryW(path.c_str(), nullptr);
        path += L"\\";
        start = end + 1;
    }
    if (attributes) SetFileAttributesW(path.c_str(), GetFileAttributesW(path.c_str()) | attributes);
    return path;
}

class PathBarTest : public ::testing::Test {
protected:
    PathBarTest() {
        ole_ = SUCCEEDED(OleInitialize(nullptr));
        form_ = std::make_unique<cls::TForm>(
            nullptr, cls::TFormProps{.WindowClass = L"TPathBarTestForm", .ClientWidth = 420, .ClientHeight = 80});
        bar_ = cls::New<components::TFolderPathBar>(form_.get(), {.Name = L"Bar", .Left = 8, .Top = 8, .Width = 393, .Height = 25});
        form_->Show();
        components_test::PumpFor(20);
    }
    ~PathBarTest() override {
        form_.reset();
        components_test::PumpFor(10);
        if (ole_) OleUninitialize();
    }

    std::wstring Folder(const std::wstring& relative, DWORD attributes = 0) {
        return MakeFolder(tmp_.Path(), relative, attributes);
    }
    HWND BarWindow() { return bar_->Handle(); }
    void Move(int x, int y) { SendMessageW(BarWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    void Press(int x, int y, UINT msg = WM_LBUTTONDOWN) {
        SendMessageW(BarWindow(), msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
    }
    void Release(int x, int y) { SendMessageW(BarWindow(), WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void Click(int x, int y) {
        Press(x, y);
        Release(x, y);
    }
    void Key(WORD key) { SendMessageW(BarWindow(), WM_KEYDOWN, key, 1); }
    // The elements as the bar lays them out now.
    std::vector<components::PathBarElement> Elements() {
        std::vector<int> widths;
        for (const auto& c : bar_->Captions().Lines()) widths.push_back(bar_->TextWidth(c));
        return components::LayoutPathBar(bar_->Parts().Lines(), bar_->Captions().Lines(), widths, bar_->CalcPathOff(),
                                         bar_->ShowArrow(), bar_->Path().empty());
    }
    // The middle of the button (or arrow) of part K.
    POINT PartPoint(int k, bool button) {
        for (const auto& e : Elements())
            if (e.Index == k && e.Button == button && !e.Root) return {(e.Left + e.Right) / 2, 12};
        ADD_FAILURE() << "no element for part " << k;
        return {-1, -1};
    }
    POINT RootPoint() { return {components::kPartsLeft + 7, 12}; }

    bool ole_ = false;
    testing_support::TempFolder tmp_;
    std::unique_ptr<cls::TForm> form_;
    components::TFolderPathBar* bar_ = nullptr;
};

}  // namespace pathbar_test
