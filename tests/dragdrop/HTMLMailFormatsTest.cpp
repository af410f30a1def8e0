#include <gtest/gtest.h>

#include "TestDataObject.h"
#include "classlib/Forms.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropHTML.h"
#include "dragdrop/DragDropMail.h"
#include "dragdrop/DropTarget.h"
#include "dragdrop/MailLibrary.h"
#include "tests/support/TempFolder.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

// What a text data format gets from a dropped block of "HTML Format".
std::wstring DroppedText(const std::string& bytes) {
    THTMLClipboardFormat html;
    TestDataObject source;
    source.PutBytes(THTMLClipboardFormat::Id(), bytes);
    EXPECT_TRUE(html.GetData(&source));
    TTextDataFormat text(nullptr);
    EXPECT_TRUE(html.AssignTo(text));
    return text.Text();
}

// The block "HTML Format" writes for a text.
std::string WrittenBlock(const std::wstring& value) {
    TTextDataFormat text(nullptr);
    THTMLClipboardFormat html;
    text.SetText(value);
    std::string block(html.Assign(text) ? html.GetSize() : 0, '\0');
    EXPECT_TRUE(html.WriteData(block.data(), html.GetSize()));
    return block;
}

TEST(HTMLFormat, TextIsWrappedInUTF8WithByteOffsets) {
    EXPECT_EQ(WrittenBlock(L"Hello"),
              std::string("Version:0.9\r\nStartHTML:00000097\r\nEndHTML:00000174\r\nStartFragment:00000133\r\n"
                          "EndFragment:00000138\r\n<HTML>\r\n<BODY>\r\n<!--StartFragment-->Hello<!--EndFragment-->"
                          "\r\n</BODY>\r\n</HTML>\r\n") + '\0');
    EXPECT_EQ(WrittenBlock(L"<html><b>x</b></html>"), std::string("<html><b>x</b></html>\r\n") + '\0');

    const std::wstring accented = L"Gr\u00FC\u00DFe \u4E2D\u6587 \U0001F600";
    const std::string body = cls::WideToUtf8(accented);
    EXPECT_EQ(WrapCFHTML(accented).substr(133, body.size() + 4), body + "<!--");
    EXPECT_EQ(DroppedText(WrittenBlock(accented)), accented);
    EXPECT_EQ(DroppedText(WrittenBlock(L"a\nb\rc")), L"a\r\nb\r\nc");  // offsets after the lines' CR LF
}

TEST(HTMLFormat, DroppedDocumentFallsBackFromFragmentToDocumentToWholeText) {
    // The body lies at 51..75 ("frag" at 60..64) after a header with eight
    // digits each; the fragment keys follow it, so any digits fit.
    auto document = [](std::string startHTML, const char* startFragment, const char* endFragment) {
        std::string d = "Version:0.9\r\nStartHTML:" + startHTML + "\r\nEndHTML:00000075\r\n<HTML><B>frag</B></HTML>";
        return *startFragment ? d + "StartFragment:" + startFragment + "\r\nEndFragment:" + endFragment : d;
    };
    enum { Fragment, Body, Whole };
    struct Row {
        const char *startFragment, *endFragment, *startHTML;
        int expected;
    } rows[] = {
        {"00000060", "00000064", "00000051", Fragment}, {"00000060", "00000060", "00000051", Body},
        {"00000064", "00000060", "00000051", Body},     {"00000060", "00099999", "00000051", Body},
        {"-0000001", "00000064", "00000051", Body},     {"4294967356", "18446744073709551680", "00000051", Body},
        {"00000060", "00000060", "99999999", Whole},    {"", "", "00000051", Whole},  // no fragment keys
    };
    for (const Row& r : rows) {
        const std::string d = document(r.startHTML, r.startFragment, r.endFragment);
        const std::wstring expected[] = {L"frag", L"<HTML><B>frag</B></HTML>", cls::Utf8ToWide(d)};
        EXPECT_EQ(DroppedText(d), expected[r.expected]) << r.startFragment << " " << r.startHTML;
    }
    // A document with LF breaks is cut at its own bytes.
    EXPECT_EQ(DroppedText("Version:0.9\nStartFragment:00000070\nEndFragment:00000074\n<HTML>\n<BODY>\nfrag</BODY>"),
              L"frag");
}

cls::ComPtr<IStorage> NewStorage() {
    cls::ComPtr<ILockBytes> bytes;
    cls::ComPtr<IStorage> storage;
    CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put());
    StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.put());
    return storage;
}

TEST(StorageFormat, DescriptorNamesTheStoragesOnlyWhenTheCountsAgree) {
    for (int files : {2, 3}) {
        TFileContentsStorageClipboardFormat contents;
        for (int i = 0; i < 3; ++i) contents.Storages().AddStorage(NewStorage().get(), L"s" + std::to_wstring(i));
        TOutlookDataFormat data(nullptr);
        int changes = 0;
        data.OnChanging = [&](TCustomDataFormat&) { ++changes; };
        ASSERT_TRUE(data.Assign(contents) && changes > 0);
        TUnicodeFileGroupDescriptorClipboardFormat group;
        group.SetCount(files);
        for (int i = 0; i < files; ++i) group.SetFilename(i, L"f" + std::to_wstring(i));
        EXPECT_EQ(data.Assign(group), files == 3);
        const auto& s = data.Storages();
        EXPECT_EQ(s.Names(0) + s.Names(1) + s.Names(2), files == 3 ? L"f0f1f2" : L"s0s1s2");
    }
}

std::wstring Folder(bool system) {
    wchar_t buffer[MAX_PATH] = {};
    if (system) GetSystemDirectoryW(buffer, MAX_PATH);
    else GetModuleFileNameW(nullptr, buffer, MAX_PATH), *wcsrchr(buffer, L'\\') = 0;
    return std::wstring(buffer) + L"\\";
}

std::string BeginError(TMessages& messages) try {
    messages.BeginSession();
    return {};
} catch (const EDragDrop& e) {
    return e.what();
}

TEST(MailLibrary, SessionsOpenLockAndCloseAndFailuresAreReportedAndRetried) {
    cls::ScopeExit restore([] { SetMailLibraryForTesting(L"", L""); });
    TStorageInterfaceList storages;
    TMessages messages(storages);
    EXPECT_EQ(MailLibraryPath(), Folder(true) + L"mapi32.dll");
    EXPECT_NE(LoadMailLibrary().CloseIMsgSession, nullptr);  // Wine's binds, though it opens no session

    testing_support::TempFolder folder;
    SetMailLibraryForTesting(folder.Path(), L"mail.dll");
    const std::string missing = BeginError(messages);
    EXPECT_TRUE(missing.size() > 12 && missing.ends_with(": mail.dll") && missing.find('\n') == std::string::npos)
        << missing;
    ASSERT_TRUE(CopyFileW((Folder(false) + L"fakemapi.dll").c_str(), folder.File(L"mail.dll").c_str(), TRUE));
    EXPECT_EQ(BeginError(messages), "");  // tried again
    auto openSessions = reinterpret_cast<LONG(WINAPI*)()>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(folder.File(L"mail.dll").c_str()), "FakeMapiOpenSessions")));
    ASSERT_NE(openSessions, nullptr);
    messages.BeginSession();
    EXPECT_EQ(openSessions(), 1);
    messages.LockSession();
    messages.EndSession();
    EXPECT_NE(messages.Session(), nullptr);  // held by the lock
    messages.UnlockSession();
    EXPECT_EQ(openSessions(), 0);
    messages.BeginSession();
    messages.Clear();
    EXPECT_TRUE(openSessions() == 0 && messages.Session() == nullptr);

    SetMailLibraryForTesting(Folder(true), L"version.dll");
    const std::string prefix = "Failed to get version.dll entry point for MAPIGetDefaultMalloc@0: ";
    const std::string noEntry = BeginError(messages);
    EXPECT_TRUE(noEntry.starts_with(prefix) && noEntry.size() > prefix.size()) << noEntry;
}

TEST(HTMLDrop, ReachesATextDataFormatThroughTheDropTarget) {
    cls::TForm form{nullptr, cls::TFormProps{.WindowClass = L"THTMLDropTestForm", .Left = 100, .Top = 100,
                                             .ClientWidth = 200, .ClientHeight = 150}};
    form.Show();
    TCustomDropMultiTarget target;
    TTextDataFormat text(&target);
    target.SetTarget(&form);
    std::wstring dropped;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { dropped = text.Text(); };
    OfferingDataObject data;
    data.Offer(THTMLClipboardFormat::Id(), WrapCFHTML(L"caf\u00E9 <b>ok</b>") + '\0');
    POINT p = form.ClientToScreen({50, 50});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.DragEnter(&data, MK_LBUTTON, {p.x, p.y}, &effect), S_OK);
    ASSERT_EQ(target.Drop(&data, MK_LBUTTON, {p.x, p.y}, &effect), S_OK);
    EXPECT_EQ(dropped, L"caf\u00E9 <b>ok</b>");
    target.Unregister();
}

}  // namespace
