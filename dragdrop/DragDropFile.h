// Files as dragged data: the shell's dropped-file list, single names and
// rename maps for real files; file group descriptors and their contents
// for virtual files that exist only in the source program.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/StringList.h"
#include "dragdrop/DragDropFormats.h"
#include "dragdrop/DragDropPIDL.h"
#include "dragdrop/DragDropText.h"
#include "dragdrop/UnicodeStrings.h"

namespace dragdrop {

constexpr int kAnsiFileDescriptorSize = 332;
constexpr int kWideFileDescriptorSize = 592;
constexpr int kFileDescriptorFixedSize = 72;  // the bytes before the name, the same in both forms
constexpr int kFileDescriptorNameChars = 260;

// Appends the names of a NUL-separated list of Size bytes; a name is cut at
// the end of the block when its NUL is missing. True when a name was added.
bool MultiSzToStrings(const void* buffer, int size, bool wide, TUnicodeStrings& strings);
bool MultiSzToStrings(const void* buffer, int size, bool wide, cls::TStringList& strings);
// Writes the names into a zero-filled block of Size bytes, cutting what
// does not fit. True when a name was written.
bool StringsToMultiSz(void* buffer, int size, bool wide, const TUnicodeStrings& strings);
// Bytes of a name list with the given names and width, end included.
int MultiSzSize(const TUnicodeStrings& strings, bool wide);

// FileContents copied into memory: at most this much, and set aside ahead
// only up to the presize limit.
constexpr ULONGLONG kMaxContentsCopy = 256ull << 20;
constexpr ULONGLONG kContentsPresizeLimit = 16ull << 20;
// A stream's contents, from its start to its real end but at most its stated
// size, in a new memory stream at position 0; null when the copy fails or
// the contents go on beyond Cap.
cls::ComPtr<IStream> CopyToMemoryStream(IStream* source, ULONGLONG cap = kMaxContentsCopy);

class TFileDataFormat;
class TFileMapDataFormat;
class TVirtualFileStreamDataFormat;

// CF_HDROP.
class TFileClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    TFileClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return CF_HDROP; }
    TUnicodeStrings& Files() { return files_; }
    // Whether written lists are 16-bit; reading follows the block.
    bool Wide() const { return wide_; }
    void SetWide(bool value) { wide_ = value; }
    void Clear() override { files_.Clear(); }
    bool HasData() const override { return files_.Count() > 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;
    bool Assign(TCustomDataFormat& source) override;
    bool AssignTo(TCustomDataFormat& dest) override;

private:
    TUnicodeStringList files_;
    bool wide_;
};

// "FileName": one 8-bit name.
class TAnsiFilenameClipboardFormat : public TCustomAnsiTextClipboardFormat {
public:
    TAnsiFilenameClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    const std::string& Filename() const { return Text(); }
    void SetFilename(std::string s) { SetText(std::move(s)); }
    bool Assign(TCustomDataFormat& source) override;
    bool AssignTo(TCustomDataFormat& dest) override;
};

// "FileNameW": one 16-bit name.
class TUnicodeFilenameClipboardFormat : public TCustomUnicodeTextClipboardFormat {
public:
    TUnicodeFilenameClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    const std::wstring& Filename() const { return Text(); }
    void SetFilename(std::wstring s) { SetText(std::move(s)); }
    // A name ends at its NUL, whatever the block holds after it.
    bool ReadData(const void* value, int size) override;
    bool Assign(TCustomDataFormat& source) override;
    bool AssignTo(TCustomDataFormat& dest) override;
};

// "FileNameMap": new names, an 8-bit list without header.
class TAnsiFilenameMapClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    TAnsiFilenameMapClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    cls::TStringList& FileMaps() { return fileMaps_; }
    void Clear() override { fileMaps_.Clear(); }
    bool HasData() const override { return fileMaps_.Count() > 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;

private:
    cls::TStringList fileMaps_;
};

// "FileNameMapW": new names, a 16-bit list without header.
class TUnicodeFilenameMapClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    TUnicodeFilenameMapClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    TUnicodeStrings& FileMaps() { return fileMaps_; }
    void Clear() override { fileMaps_.Clear(); }
    bool HasData() const override { return fileMaps_.Count() > 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;

private:
    TUnicodeStringList fileMaps_;
};

// A whole descriptor block: a 32-bit count, then that many descriptors.
class TFileGroupDescriptorCustomClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    using TCustomSimpleClipboardFormat::TCustomSimpleClipboardFormat;
    static const ClipboardFormatClass ClassInfo;
    int Count() const;
    void SetCount(int n);
    // Replaces the block by a copy of Buffer, whose size its count gives.
    void CopyFrom(const void* buffer);
    void Clear() override { buffer_.clear(); }
    bool HasData() const override { return Count() > 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;
    // Raise "Filename index out of bounds (%d)" outside 0 .. Count - 1.
    virtual std::wstring GetFilename(int index) const = 0;
    virtual void SetFilename(int index, const std::wstring& value) = 0;
    virtual int64_t GetBufferSize(int64_t count) const = 0;
    std::wstring Filenames(int index) const { return GetFilename(index); }

protected:
    void CheckIndex(int index) const;
    uint8_t* Descriptor(int index, int descriptorSize) { return buffer_.data() + 4 + index * descriptorSize; }
    const uint8_t* Descriptor(int index, int descriptorSize) const {
        return buffer_.data() + 4 + index * descriptorSize;
    }
    const uint8_t* Buffer() const { return buffer_.empty() ? nullptr : buffer_.data(); }

private:
    std::vector<uint8_t> buffer_;  // empty when there is no block
};

class TAnsiFileGroupDescriptorClipboardFormat : public TFileGroupDescriptorCustomClipboardFormat {
public:
    TAnsiFileGroupDescriptorClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    std::wstring GetFilename(int index) const override;
    void SetFilename(int index, const std::wstring& value) override;
    int64_t GetBufferSize(int64_t count) const override { return count * kAnsiFileDescriptorSize + 4; }
    const FILEGROUPDESCRIPTORA* FileGroupDescriptor() const {
        return reinterpret_cast<const FILEGROUPDESCRIPTORA*>(Buffer());
    }
};

class TUnicodeFileGroupDescriptorClipboardFormat : public TFileGroupDescriptorCustomClipboardFormat {
public:
    TUnicodeFileGroupDescriptorClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    std::wstring GetFilename(int index) const override;
    void SetFilename(int index, const std::wstring& value) override;
    int64_t GetBufferSize(int64_t count) const override { return count * kWideFileDescriptorSize + 4; }
    const FILEGROUPDESCRIPTORW* FileGroupDescriptor() const {
        return reinterpret_cast<const FILEGROUPDESCRIPTORW*>(Buffer());
    }
};

CLIPFORMAT FileContentsId();

// "FileContents" of the first virtual file as one block of bytes.
class TFileContentsClipboardFormat : public TCustomAnsiStringClipboardFormat {
public:
    TFileContentsClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return FileContentsId(); }
    const std::string& Data() const { return GetString(); }
    void SetData(std::string s) { SetString(std::move(s)); }
};

// "FileContents" of every virtual file, copied into memory streams.
class TFileContentsStreamClipboardFormat : public TClipboardFormat {
public:
    TFileContentsStreamClipboardFormat();
    ~TFileContentsStreamClipboardFormat() override { Clear(); }
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return FileContentsId(); }
    TStreamList& Streams() { return streams_; }
    bool GetData(IDataObject* dataObject) override;
    bool AssignTo(TCustomDataFormat& dest) override;
    void Clear() override { streams_.Clear(); }
    bool HasData() const override { return streams_.Count() > 0; }

private:
    TStreamList streams_;
};

class TFileContentsStreamOnDemandClipboardFormat;
using TOnGetStreamEvent =
    std::function<void(TFileContentsStreamOnDemandClipboardFormat& sender, int index, cls::ComPtr<IStream>& stream)>;

// "FileContents" fetched one item at a time while the drop lasts.
class TFileContentsStreamOnDemandClipboardFormat : public TClipboardFormat {
public:
    TFileContentsStreamOnDemandClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return FileContentsId(); }
    TOnGetStreamEvent OnGetStream;
    bool GetData(IDataObject* dataObject) override;
    // Asks the owning drop target's data object for one item; must run on
    // the thread that holds it. Null when the source has nothing.
    bool GetStream(int index, cls::ComPtr<IStream>& stream);
    // The same, from a data object given directly.
    static bool GetStreamFrom(IDataObject* dataObject, const FORMATETC& formatEtc, int index,
                              cls::ComPtr<IStream>& stream);
    bool WriteMedium(const FORMATETC& formatEtcIn, STGMEDIUM& medium) override;
    bool Assign(TCustomDataFormat& source) override;
    bool AssignTo(TCustomDataFormat& dest) override;
    void Clear() override { gotData_ = dataRequested_ = false; }
    bool HasData() const override { return gotData_ || dataRequested_; }

private:
    bool gotData_ = false, dataRequested_ = false;
};

// "FileContents" of every virtual file as storages.
class TFileContentsStorageClipboardFormat : public TClipboardFormat {
public:
    TFileContentsStorageClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return FileContentsId(); }
    TStorageInterfaceList& Storages() { return storages_; }
    bool GetData(IDataObject* dataObject) override;
    bool WriteMedium(const FORMATETC& formatEtcIn, STGMEDIUM& medium) override;
    void Clear() override { storages_.Clear(); }
    bool HasData() const override { return storages_.Count() > 0; }

private:
    TStorageInterfaceList storages_;
};

class TFileDataFormat : public TCustomDataFormat {
public:
    explicit TFileDataFormat(TDragDropComponent* owner);
    ~TFileDataFormat() override { files_.OnChanging = nullptr; }
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TUnicodeStrings& Files() { return files_; }
    void Clear() override { files_.Clear(); }
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override { return files_.Count() > 0; }
    bool NeedsData() const override { return files_.Count() == 0; }

private:
    TUnicodeStringList files_;
};

class TFileMapDataFormat : public TCustomDataFormat {
public:
    explicit TFileMapDataFormat(TDragDropComponent* owner);
    ~TFileMapDataFormat() override { fileMaps_.OnChanging = nullptr; }
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TUnicodeStrings& FileMaps() { return fileMaps_; }
    void Clear() override { fileMaps_.Clear(); }
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override { return fileMaps_.Count() > 0; }
    bool NeedsData() const override { return fileMaps_.Count() == 0; }

private:
    TUnicodeStringList fileMaps_;
};

// The names of a list of 16-bit file descriptors, one object per entry.
class TFileDescriptorToFilenameStrings : public TUnicodeStrings {
public:
    explicit TFileDescriptorToFilenameStrings(TMemoryList& fileDescriptors) : descriptors_(fileDescriptors) {}
    int GetCount() const override { return descriptors_.Count(); }
    std::wstring Get(int index) const override;
    void Put(int index, const std::wstring& s) override {}
    // Appending only: another index changes nothing.
    void Insert(int index, const std::wstring& s) override;
    void Clear() override;
    void Delete(int index) override;
    void* GetObject(int index) const { return objects_.at(index); }
    void PutObject(int index, void* object) { objects_.at(index) = object; }
    void Assign(const TUnicodeStrings& source);

private:
    TMemoryList& descriptors_;
    std::vector<void*> objects_;
};

class TVirtualFileStreamDataFormat : public TCustomDataFormat {
public:
    // The owner's compatible formats must hold the on-request contents and
    // both descriptor formats.
    explicit TVirtualFileStreamDataFormat(TDragDropComponent* owner);
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TFileDescriptorToFilenameStrings& FileNames() { return fileNames_; }
    void SetFileNames(const TUnicodeStrings& value) { fileNames_.Assign(value); }
    TMemoryList& FileDescriptors() { return descriptors_; }
    TFileContentsStreamOnDemandClipboardFormat& FileContentsClipboardFormat() { return *contents_; }
    TAnsiFileGroupDescriptorClipboardFormat& AnsiFileGroupDescriptorClipboardFormat() { return *ansi_; }
    TUnicodeFileGroupDescriptorClipboardFormat& UnicodeFileGroupDescriptorClipboardFormat() { return *unicode_; }
    TUnicodeFileGroupDescriptorClipboardFormat& FileGroupDescriptorClipboardFormat() { return *unicode_; }
    TOnGetStreamEvent& OnGetStream() { return contents_->OnGetStream; }
    void Clear() override;
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override;
    bool NeedsData() const override;

private:
    TMemoryList descriptors_;
    TFileDescriptorToFilenameStrings fileNames_{descriptors_};
    TFileContentsStreamOnDemandClipboardFormat* contents_;
    TAnsiFileGroupDescriptorClipboardFormat* ansi_;
    TUnicodeFileGroupDescriptorClipboardFormat* unicode_;
    bool hasContents_ = false;
};

// The unit's registrations; run once, from the library's start-up.
void RegisterFileUnit();
void UnregisterFileUnit();

}  // namespace dragdrop
