#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/History.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/Raii.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "forms/uFrmHistorial.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace app;
using namespace cls;
using formstest::Pump;
using formstest::PumpUntil;
using testing_support::TempFolder;
using Lines = std::vector<std::wstring>;

namespace {

const std::wstring kConfirm =
    L"Are you sure that you want to permanently delete the clicked links from the History?";

struct Box {
    std::wstring text, caption;
    UINT flags;
};

class HistorialWindow : public ::testing::Test {
protected:
    HistorialWindow()
        : data_(engine::DataFolder),
          thumbs_(engine::ThumbnailsFolder),
          boxHook_(MessageBoxHook, [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
              boxes_.push_back({text, caption, flags});
              return answer_;
          }) {
        Application.Initialize();
        engine::DataFolder = tmp_.Path() + L"data\\";
        engine::ThumbnailsFolder = engine::DataFolder + L"Miniaturas\\";
    }
    ~HistorialWindow() override {
        Pump(10);
        engine::DataFolder = data_;
        engine::ThumbnailsFolder = thumbs_;
    }

    void WriteHistory(const std::wstring& text) {
        ASSERT_TRUE(ForceDirectories(engine::DataFolder));
        ASSERT_TRUE(WriteFileBytes(HistoryFileName(), "\xEF\xBB\xBF" + WideToUtf8(text)));
    }
    std::string HistoryBytes() {
        std::string b;
        ReadFileBytes(HistoryFileName(), b);
        return b;
    }
    Lines HistoryLines() {
        TStringList l;
        l.LoadFromFile(HistoryFileName());
        return l.Lines();
    }
    void MakeThumbs(std::initializer_list<const wchar_t*> ids) {
        ASSERT_TRUE(ForceDirectories(engine::ThumbnailsFolder));
        for (auto id : ids) ASSERT_TRUE(WriteFileBytes(engine::ThumbnailsFolder + id + L".jpg", "jpg"));
    }
    bool HasThumb(const std::wstring& id) { return FileExists(engine::ThumbnailsFolder + id + L".jpg"); }

    std::unique_ptr<TFrmHistorial> Open() { return std::make_unique<TFrmHistorial>(); }

    static Lines Captions(TFrmHistorial& f) {
        Lines r;
        for (int i = 0; i < f.LstHistorial->Count(); ++i) r.push_back(f.LstHistorial->ItemCaption(i));
        return r;
    }
    static Lines SubItems(TFrmHistorial& f) {
        Lines r;
        for (int i = 0; i < f.LstHistorial->Count(); ++i) r.push_back(f.LstHistorial->SubItem(i, 1));
        return r;
    }
    static std::vector<bool> Ticks(TFrmHistorial& f) {
        std::vector<bool> r;
        for (int i = 0; i < f.LstHistorial->Count(); ++i) r.push_back(f.LstHistorial->Checked(i));
        return r;
    }
    static void Tick(TFrmHistorial& f, std::vector<bool> ticks) {
        for (size_t i = 0; i < ticks.size(); ++i) f.LstHistorial->SetChecked(static_cast<int>(i), ticks[i]);
    }

    // Version 6 of the common controls, as the program's manifest asks for.
    formstest::CommonControls6 cc6_;
    TempFolder tmp_;
    std::wstring data_, thumbs_;
    std::vector<Box> boxes_;
    int answer_ = IDYES;
    ScopedHook<MessageBoxFunc> boxHook_;
};

// Where a click ticks the item's check box, in the list's client area.
POINT CheckBoxPoint(TListView* list, int item) {
    RECT r = {LVIR_BOUNDS};
    SendMessageW(list->Handle(), LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
    for (int x = r.left; x < r.left + 40; ++x) {
        LVHITTESTINFO hit = {};
        hit.pt = {x, (r.top + r.bottom) / 2};
        if (SendMessageW(list->Handle(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == item &&
            (hit.flags & LVHT_ONITEMSTATEICON))
            return hit.pt;
    }
    return {-1, -1};
}

// ShowModal, with a timer that closes the window should the test's own
// message get lost; a close by the timer fails the test.
TModalResult ShowModalGuarded(TForm& form) {
    UINT_PTR timer = SetTimer(nullptr, 0, 5000, nullptr);
    bool timedOut = false;
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == timer && !timedOut) {
            timedOut = true;
            PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
        }
        return false;
    };
    TModalResult r = form.ShowModal();
    Application.OnMessage = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_FALSE(timedOut) << "closed by the guard timer";
    return r;
}

void MouseClick(HWND window, POINT p) {
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

}  // namespace

TEST_F(HistorialWindow, FormResource) {
    auto f = Open();
    EXPECT_EQ(f->Caption(), L"Clean History");
    EXPECT_EQ(f->ClientWidth(), 450);
    EXPECT_EQ(f->ClientHeight(), 178);
    EXPECT_EQ(f->BorderStyle(), bsDialog);
    EXPECT_EQ(f->BorderIcons(), biSystemMenu);
    EXPECT_EQ(f->Position(), poMainFormCenter);
    EXPECT_TRUE(f->KeyPreview);

    TListView* list = f->LstHistorial;
    EXPECT_EQ(list->Align(), alTop);
    EXPECT_EQ(list->Height(), 137);
    EXPECT_EQ(list->Width(), 450);
    HWND h = list->Handle();
    DWORD style = GetWindowLongW(h, GWL_STYLE);
    EXPECT_TRUE(style & LVS_NOCOLUMNHEADER);
    EXPECT_FALSE(style & LVS_EDITLABELS);
    auto ex = SendMessageW(h, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_TRUE(ex & LVS_EX_CHECKBOXES);
    EXPECT_TRUE(ex & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(SendMessageW(h, LVM_GETCOLUMNWIDTH, 0, 0), 431);
    EXPECT_EQ(list->PopupMenu, f->PopupMenu1);

    EXPECT_EQ(f->BtnLimpiar->Caption(), L"Clean");
    EXPECT_EQ(f->BtnLimpiar->DropDownMenu, f->PopupMenu1);
    EXPECT_EQ(f->BtnCancelar->Caption(), L"Cancel");
    EXPECT_EQ(f->BtnCancelar->ModalResult, mrCancel);
    // Esc belongs to the key preview, not to a cancel button.
    EXPECT_FALSE(f->BtnCancelar->Cancel);
    // Both buttons fit below the list, side by side.
    EXPECT_GE(f->BtnLimpiar->Top(), list->Height());
    EXPECT_LE(f->BtnLimpiar->Left() + f->BtnLimpiar->Width(), f->BtnCancelar->Left());
    EXPECT_LE(f->BtnCancelar->Left() + f->BtnCancelar->Width(), 450);
    EXPECT_LE(f->BtnCancelar->Top() + f->BtnCancelar->Height(), 178);

    ASSERT_EQ(f->PopupMenu1->Items()->Count(), 2);
    EXPECT_EQ(f->PopupMenu1->Items()->Items(0), f->MnuChequearTodos);
    EXPECT_EQ(f->MnuChequearTodos->Caption(), L"Check All");
    EXPECT_EQ(f->MnuChequearNada->Caption(), L"Uncheck All");
}

TEST_F(HistorialWindow, ListsEveryEntryTickedWithItsTrimmedTitle) {
    WriteHistory(L"11>  Spaced title \t\r\n\r\nno separator\r\n>no id\r\n22>\r\n33>Ünïcode > arrows\r\n 44 >x\r\n");
    auto f = Open();
    EXPECT_EQ(f->ItemCount(), 3);
    EXPECT_EQ(Captions(*f), (Lines{L"Spaced title", L"Ünïcode > arrows", L"x"}));
    EXPECT_EQ(SubItems(*f), (Lines{L"11", L"33", L" 44 "}));
    EXPECT_EQ(Ticks(*f), (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(f->BtnLimpiar->Enabled());
    // Filling it cleaned the file as every full fill does.
    EXPECT_EQ(HistoryLines(), (Lines{L"11>  Spaced title \t", L">no id", L"22>", L"33>Ünïcode > arrows", L" 44 >x"}));
}

TEST_F(HistorialWindow, WithoutHistoryItListsNothing) {
    auto f = Open();
    EXPECT_EQ(f->ItemCount(), 0);
    EXPECT_FALSE(FileExists(HistoryFileName()));
    WriteHistory(L" \r\n\r\n");
    EXPECT_EQ(Open()->ItemCount(), 0);
}

TEST_F(HistorialWindow, CleanDeletesExactlyTheTickedEntriesAndTheirThumbnails) {
    WriteHistory(L"1>One\r\n2> Two \r\n3>Three\r\n4>Four\r\n");
    MakeThumbs({L"1", L"2", L"3", L"4"});
    auto f = Open();
    // Keep the first and the third.
    Tick(*f, {false, true, false, true});
    f->BtnLimpiar->Click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kConfirm);
    EXPECT_EQ(boxes_[0].caption, L"Confirmation");
    EXPECT_EQ(boxes_[0].flags, 36u);
    EXPECT_EQ(f->ModalResult(), mrOk);
    EXPECT_EQ(HistoryLines(), (Lines{L"1>One", L"3>Three"}));
    EXPECT_TRUE(HasThumb(L"1") && HasThumb(L"3"));
    EXPECT_FALSE(HasThumb(L"2") || HasThumb(L"4"));
}

TEST_F(HistorialWindow, CleanWithEveryEntryTickedLeavesNoHistory) {
    WriteHistory(L"1>One\r\n2>Two\r\n");
    MakeThumbs({L"1", L"2", L"5"});
    auto f = Open();
    f->BtnLimpiar->Click();
    EXPECT_FALSE(FileExists(HistoryFileName()));
    EXPECT_FALSE(HasThumb(L"1") || HasThumb(L"2"));
    EXPECT_TRUE(HasThumb(L"5"));  // no entry of the list
}

TEST_F(HistorialWindow, AnsweringNoChangesNothingAndKeepsTheWindow) {
    WriteHistory(L"1>One\r\n2>Two\r\n");
    MakeThumbs({L"1", L"2"});
    auto f = Open();
    const std::string before = HistoryBytes();
    answer_ = IDNO;
    f->BtnLimpiar->Click();
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(f->ModalResult(), mrNone);
    EXPECT_EQ(HistoryBytes(), before);
    EXPECT_TRUE(HasThumb(L"1") && HasThumb(L"2"));
}

TEST_F(HistorialWindow, CleanWithNothingTickedDeletesNothing) {
    WriteHistory(L"1>One\r\n2>Two\r\n");
    MakeThumbs({L"1", L"2"});
    auto f = Open();
    f->MnuChequearNada->Click();
    EXPECT_FALSE(f->BtnLimpiar->Enabled());
    // The space bar can untick without the button knowing: it still runs.
    f->BtnLimpiar->Click();
    EXPECT_EQ(HistoryLines(), (Lines{L"1>One", L"2>Two"}));
    EXPECT_TRUE(HasThumb(L"1") && HasThumb(L"2"));
}

TEST_F(HistorialWindow, AFailedSaveLosesNothing) {
    WriteHistory(L"1>One\r\n2>Two\r\n3>Three\r\n");
    MakeThumbs({L"2", L"3"});
    auto f = Open();
    const std::string before = HistoryBytes();
    for (auto ticks : {std::vector<bool>{false, true, false}, std::vector<bool>{true, true, true}}) {
        Tick(*f, ticks);
        {
            // Held open without delete sharing, the file can be neither
            // replaced nor deleted.
            std::wstring file = HistoryFileName();
            FileHandle lock(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(lock);
            f->BtnLimpiar->Click();
        }
        EXPECT_EQ(HistoryBytes(), before);
        EXPECT_TRUE(HasThumb(L"2") && HasThumb(L"3"));
    }
}

TEST_F(HistorialWindow, AnIdListedTwiceStaysWhileOneOfItsItemsIsKept) {
    WriteHistory(L"1>New title\r\n2>Two\r\n1>Old title\r\n");
    MakeThumbs({L"1", L"2"});
    auto f = Open();
    ASSERT_EQ(f->ItemCount(), 3);
    Tick(*f, {true, true, false});
    f->BtnLimpiar->Click();
    EXPECT_EQ(HistoryLines(), (Lines{L"1>New title"}));
    EXPECT_TRUE(HasThumb(L"1"));
    EXPECT_FALSE(HasThumb(L"2"));
}

TEST_F(HistorialWindow, IdsThatAreNoVideoIdsNeverNameAFile) {
    // The thumbnail of "..\x" would be this file beside the history.
    ASSERT_TRUE(ForceDirectories(engine::DataFolder));
    const std::wstring outside = engine::DataFolder + L"x.jpg";
    ASSERT_TRUE(WriteFileBytes(outside, "precious"));
    WriteHistory(L"..\\x>Evil\r\n7>Seven\r\n");
    MakeThumbs({L"7"});
    auto f = Open();
    ASSERT_EQ(SubItems(*f), (Lines{L"..\\x", L"7"}));
    Tick(*f, {true, false});
    f->BtnLimpiar->Click();
    EXPECT_EQ(HistoryLines(), (Lines{L"7>Seven"}));
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(HasThumb(L"7"));
}

TEST_F(HistorialWindow, TheButtonFollowsTheMenuAndMouseClicks) {
    WriteHistory(L"1>One\r\n2>Two\r\n3>Three\r\n");
    auto f = Open();
    f->Show();
    f->MnuChequearNada->Click();
    EXPECT_EQ(Ticks(*f), (std::vector<bool>{false, false, false}));
    EXPECT_FALSE(f->BtnLimpiar->Enabled());

    HWND list = f->LstHistorial->Handle();
    POINT p = CheckBoxPoint(f->LstHistorial, 1);
    ASSERT_GE(p.x, 0);
    MouseClick(list, p);
    ASSERT_TRUE(PumpUntil([&] { return f->LstHistorial->Checked(1); }));
    EXPECT_TRUE(PumpUntil([&] { return f->BtnLimpiar->Enabled(); }));
    EXPECT_EQ(Ticks(*f), (std::vector<bool>{false, true, false}));

    MouseClick(list, p);
    ASSERT_TRUE(PumpUntil([&] { return !f->LstHistorial->Checked(1); }));
    EXPECT_TRUE(PumpUntil([&] { return !f->BtnLimpiar->Enabled(); }));

    f->MnuChequearTodos->Click();
    EXPECT_EQ(Ticks(*f), (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(f->BtnLimpiar->Enabled());
    f->Hide();
}

TEST_F(HistorialWindow, ShownModallyEscClosesAndCleanClosesWithOk) {
    WriteHistory(L"1>One\r\n2>Two\r\n");
    const std::string before = HistoryBytes();
    auto f = Open();
    f->OnShow = [&](TComponent*) { formstest::PostKey(f->LstHistorial->Handle(), VK_ESCAPE); };
    EXPECT_EQ(ShowModalGuarded(*f), mrCancel);
    EXPECT_FALSE(IsWindowVisible(f->Handle()));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(HistoryBytes(), before);

    f->OnShow = [&](TComponent*) {
        f->LstHistorial->SetChecked(0, false);
        PostMessageW(f->BtnLimpiar->Handle(), BM_CLICK, 0, 0);
    };
    EXPECT_EQ(ShowModalGuarded(*f), mrOk);
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(HistoryLines(), (Lines{L"1>One"}));
}
