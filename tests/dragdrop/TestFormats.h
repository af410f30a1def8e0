// Clipboard and data formats of the tests' own, registered under test names.
#pragma once
#include "dragdrop/DragDropFormats.h"

namespace dragdrop_test {

using namespace dragdrop;

inline CLIPFORMAT TestFormatId(const wchar_t* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name)); }

// A plain 8-bit string format.
template <int N>
class TestClip : public TCustomAnsiStringClipboardFormat {
public:
    TestClip() : TCustomAnsiStringClipboardFormat(Id()) {}
    static CLIPFORMAT Id() { return TestFormatId((L"Korvelink test " + std::to_wstring(N)).c_str()); }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    std::string Data() const { return GetString(); }
    void SetData(std::string s) { SetString(std::move(s)); }
    static const ClipboardFormatClass ClassInfo;
};
template <int N>
const ClipboardFormatClass TestClip<N>::ClassInfo{L"TestClip", &TCustomAnsiStringClipboardFormat::ClassInfo,
                                                  &MakeClipboardFormat<TestClip<N>>, ddRead, nullptr};

using ClipA = TestClip<1>;
using ClipB = TestClip<2>;
using ClipC = TestClip<3>;

// Write-only, like the performed-effect formats.
class WriteOnlyClip : public TestClip<4> {
public:
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static const ClipboardFormatClass ClassInfo;
};
inline const ClipboardFormatClass WriteOnlyClip::ClassInfo{L"WriteOnlyClip", &TestClip<4>::ClassInfo,
                                                          &MakeClipboardFormat<WriteOnlyClip>, ddWrite, nullptr};

// A descendant of ClipB: asking for ClipB finds it.
class ClipBChild : public ClipB {
public:
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static const ClipboardFormatClass ClassInfo;
};
inline const ClipboardFormatClass ClipBChild::ClassInfo{L"ClipBChild", &ClipB::ClassInfo,
                                                       &MakeClipboardFormat<ClipBChild>, ddRead, nullptr};

// Collects the strings of the test formats, in the order they arrived.
class TextData : public TCustomDataFormat {
public:
    using TCustomDataFormat::TCustomDataFormat;
    const DataFormatClass& Class() const override { return ClassInfo; }
    static const DataFormatClass ClassInfo;
    std::vector<std::string> Got;
    size_t Wanted = 1;
    void Clear() override { Got.clear(); }
    bool HasData() const override { return !Got.empty(); }
    bool NeedsData() const override { return Got.size() < Wanted; }
    bool Assign(TClipboardFormat& source) override {
        if (auto* s = dynamic_cast<TCustomAnsiStringClipboardFormat*>(&source)) {
            std::string bytes(s->GetSize(), '\0');
            s->WriteData(bytes.data(), s->GetSize());
            Got.push_back(bytes);
            return true;
        }
        return TCustomDataFormat::Assign(source);
    }
    static void Map(const ClipboardFormatClass& c, int priority, TConversionCapabilities caps) {
        MapClipboardFormat(ClassInfo, c, priority, caps);
    }
};
inline const DataFormatClass TextData::ClassInfo{L"TextData", &TCustomDataFormat::ClassInfo,
                                                 &MakeDataFormat<TextData>, nullptr};

class TextDataChild : public TextData {
public:
    using TextData::TextData;
    const DataFormatClass& Class() const override { return ClassInfo; }
    static const DataFormatClass ClassInfo;
    static void Map(const ClipboardFormatClass& c, int priority, TConversionCapabilities caps) {
        MapClipboardFormat(ClassInfo, c, priority, caps);
    }
};
inline const DataFormatClass TextDataChild::ClassInfo{L"TextDataChild", &TextData::ClassInfo,
                                                      &MakeDataFormat<TextDataChild>, nullptr};

// A component that holds data formats and takes its formats from the map,
// as a drop target does.
class TestComponent : public TDragDropComponent {
public:
    TestComponent() { dataFormats_ = std::make_unique<TDataFormats>(); }
    void GetCompatibleClipboardFormats(const DataFormatClass& d, TClipboardFormats& formats) override {
        DataFormatMap().GetClipboardFormats(d, formats, TDragDropTier::ddtTarget);
    }
};

}  // namespace dragdrop_test
