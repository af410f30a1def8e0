#include <gtest/gtest.h>

#include "TestDataObject.h"
#include "TestFormats.h"
#include "classlib/Raii.h"
#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropMail.h"
#include "dragdrop/MailLibrary.h"
#include "tests/support/TempFolder.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

cls::ComPtr<IStorage> NewStorage() {
    cls::ComPtr<ILockBytes> bytes;
    cls::ComPtr<IStorage> storage;
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.put()),
              S_OK);
    return storage;
}

std::vector<std::wstring> Names(TStorageInterfaceList& list) {
    std::vector<std::wstring> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.Names(i));
    return names;
}

TEST(StorageFormat, DescriptorNamesStoragesOnlyWhenTheCountsAgree) {
    struct Row {
        bool wide;
        int files;
        bool assigned;
        std::vector<std::wstring> names;
    };
    const Row rows[] = {
        {false, 2, false, {L"s0", L"s1", L"s2"}},
        {true, 2, false, {L"s0", L"s1", L"s2"}},
        {true, 3, true, {L"f0", L"f1", L"f2"}},
        {false, 3, true, {L"f0", L"f1", L"f2"}},
    };
    for (const auto& r : rows) {
        TFileContentsStorageClipboardFormat contents;
        for (int i = 0; i < 3; ++i) contents.Storages().AddStorage(NewStorage().get(), L"s" + std::to_wstring(i));
        TStorageDataFormat data(nullptr);
        int changes = 0;
        data.OnChanging = [&](TCustomDataFormat&) { ++changes; };
        ASSERT_TRUE(data.Assign(contents));
        EXPECT_GT(changes, 0);
        std::unique_ptr<TFileGroupDescriptorCustomClipboardFormat> group;
        if (r.wide)
            group = std::make_unique<TUnicodeFileGroupDescriptorClipboardFormat>();
        else
            group = std::make_unique<TAnsiFileGroupDescriptorClipboardFormat>();
        group->SetCount(r.files);
        for (int i = 0; i < r.files; ++i) group->SetFilename(i, L"f" + std::to_wstring(i));
        EXPECT_EQ(data.Assign(*group), r.assigned) << r.wide << r.files;
        EXPECT_EQ(Names(data.Storages()), r.names) << r.wide << r.files;
        EXPECT_EQ(data.Storages().Storages(2), contents.Storages().Storages(2));
    }
}

TEST(StorageFormat, StoragesAndNamesGoIntoADrag) {
    TStorageDataFormat data(nullptr);
    for (int i = 0; i < 2; ++i) data.Storages().AddStorage(NewStorage().get());
    TUnicodeFileGroupDescriptorClipboardFormat group;
    EXPECT_FALSE(data.AssignTo(group));  // nothing to name
    data.Storages().SetNames(1, L"mail.msg");
    ASSERT_TRUE(data.AssignTo(group));
    ASSERT_EQ(group.Count(), 2);
    EXPECT_EQ(group.Filenames(0), L"");
    EXPECT_EQ(group.Filenames(1), L"mail.msg");
    TFileContentsStorageClipboardFormat contents;
    ASSERT_TRUE(data.AssignTo(contents));
    EXPECT_EQ(contents.Storages().Count(), 2);
    data.Clear();
    EXPECT_TRUE(data.NeedsData());
}

TEST(StorageFormat, MailDropReadsStoragesWithTheirNames) {
    dragdrop::Initialize();
    TestDataObject source;
    TUnicodeFileGroupDescriptorClipboardFormat group;
    group.SetCount(2);
    group.SetFilename(0, L"one.msg");
    group.SetFilename(1, L"two.msg");
    std::string block(group.GetSize(), '\0');
    ASSERT_TRUE(group.WriteData(block.data(), group.GetSize()));
    source.PutBytes(TUnicodeFileGroupDescriptorClipboardFormat::Id(), block);
    for (LONG i = 0; i < 2; ++i) {
        STGMEDIUM m{};
        m.tymed = TYMED_ISTORAGE;
        m.pstg = NewStorage().detach();
        source.Put(FileContentsId(), m, i);
    }
    TestComponent owner;
    TOutlookDataFormat mail(&owner);
    ASSERT_TRUE(mail.GetData(&source));
    EXPECT_EQ(Names(mail.Storages()), (std::vector<std::wstring>{L"one.msg", L"two.msg"}));
    EXPECT_EQ(mail.Messages().Count(), 2);
}

// ---- the mail library ----

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetSystemDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer) + L"\\";
}

std::string ErrorOf(TMessages& messages) {
    try {
        messages.BeginSession();
    } catch (const EDragDrop& e) {
        return e.what();
    }
    return {};
}

// The folder of the tests, where the stand-in mail library is.
std::wstring TestFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path = buffer;
    return path.substr(0, path.rfind(L'\\') + 1);
}

template <typename F>
F FakeEntry(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"fakemapi.dll"), name)));
}

class MailLibraryTest : public ::testing::Test {
protected:
    void TearDown() override { SetMailLibraryForTesting(L"", L""); }
    TStorageInterfaceList storages;
    TMessages messages{storages};
};

TEST_F(MailLibraryTest, SystemLibraryBindsAllNineEntryPoints) {
    EXPECT_EQ(MailLibraryPath(), SystemFolder() + L"mapi32.dll");
    const MailLibraryEntryPoints& mail = LoadMailLibrary();
    const void* entries[] = {reinterpret_cast<void*>(mail.MAPIGetDefaultMalloc), reinterpret_cast<void*>(mail.MAPIInitialize),
                             reinterpret_cast<void*>(mail.MAPIUninitialize), reinterpret_cast<void*>(mail.MAPIAllocateBuffer),
                             reinterpret_cast<void*>(mail.MAPIAllocateMore), reinterpret_cast<void*>(mail.MAPIFreeBuffer),
                             mail.OpenIMsgOnIStg, reinterpret_cast<void*>(mail.OpenIMsgSession),
                             reinterpret_cast<void*>(mail.CloseIMsgSession)};
    for (const void* e : entries) EXPECT_NE(e, nullptr);
    EXPECT_NE(GetModuleHandleW((SystemFolder() + L"mapi32.dll").c_str()), nullptr);
}

TEST_F(MailLibraryTest, SessionsOpenLockAndClose) {
    SetMailLibraryForTesting(TestFolder(), L"fakemapi.dll");
    messages.BeginSession();
    auto open = FakeEntry<LONG(WINAPI*)()>("FakeMapiOpenSessions");
    ASSERT_NE(open, nullptr);
    void* session = messages.Session();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(FakeEntry<IMalloc*(WINAPI*)()>("FakeMapiSessionAllocator")(),
              FakeEntry<IMalloc*(WINAPI*)()>("MAPIGetDefaultMalloc@0")());
    messages.BeginSession();  // already open
    EXPECT_EQ(messages.Session(), session);
    EXPECT_EQ(messages.SessionCount(), 1);
    EXPECT_EQ(open(), 1);

    messages.LockSession();
    messages.EndSession();
    EXPECT_EQ(messages.Session(), session);  // held by the lock
    messages.UnlockSession();
    EXPECT_EQ(messages.Session(), nullptr);
    EXPECT_EQ(messages.SessionCount(), 0);
    EXPECT_EQ(open(), 0);

    messages.BeginSession();
    EXPECT_EQ(open(), 1);
    messages.Clear();
    EXPECT_EQ(messages.Session(), nullptr);
    EXPECT_EQ(open(), 0);
    {
        TMessages leftOpen(storages);
        leftOpen.BeginSession();
        leftOpen.LockSession();
    }
    EXPECT_EQ(open(), 0);  // closed with its owner, lock or not
}

TEST_F(MailLibraryTest, MissingLibraryOrEntryPointIsReportedAndRetried) {
    testing_support::TempFolder folder;
    SetMailLibraryForTesting(folder.Path(), L"mail.dll");
    EXPECT_EQ(MailLibraryPath(), folder.Path() + L"mail.dll");
    const std::string missing = ErrorOf(messages);
    ASSERT_GT(missing.size(), std::string(": mail.dll").size());
    EXPECT_EQ(missing.substr(missing.size() - 10), ": mail.dll");
    EXPECT_EQ(missing.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(messages.Session(), nullptr);

    // The library appears: the next session loads it.
    ASSERT_TRUE(CopyFileW((TestFolder() + L"fakemapi.dll").c_str(), folder.File(L"mail.dll").c_str(), TRUE));
    EXPECT_EQ(ErrorOf(messages), "");
    EXPECT_NE(messages.Session(), nullptr);
    messages.EndSession();

    SetMailLibraryForTesting(SystemFolder(), L"version.dll");
    const std::string prefix = "Failed to get version.dll entry point for MAPIGetDefaultMalloc@0: ";
    const std::string noEntry = ErrorOf(messages);
    EXPECT_EQ(noEntry.substr(0, prefix.size()), prefix);
    EXPECT_GT(noEntry.size(), prefix.size());
    EXPECT_EQ(ErrorOf(messages), noEntry);  // looked up again, still missing
}

}  // namespace
