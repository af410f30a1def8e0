#include <gtest/gtest.h>

#include "TestDataObject.h"
#include "TestFormats.h"
#include "classlib/Forms.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropHTML.h"
#include "dragdrop/DragDropMail.h"
#include "dragdrop/DragDropInternet.h"
#include "dragdrop/DropTarget.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

const std::string kHelloDocument =
    "Version:0.9\r\nStartHTML:00000097\r\nEndHTML:00000174\r\nStartFragment:00000133\r\nEndFragment:00000138\r\n"
    "<HTML>\r\n<BODY>\r\n<!--StartFragment-->Hello<!--EndFragment-->\r\n</BODY>\r\n</HTML>";

// The document pair in the header (51 bytes with eight digits each), the
// body "<HTML><B>frag</B></HTML>" at 51..75 with "frag" at 60..64, and the
// fragment pair after it, so that any digits leave the body in place.
std::string Document(const std::string& startFragment, const std::string& endFragment,
                     const std::string& startHTML = "00000051", const std::string& endHTML = "00000075") {
    std::string document = "Version:0.9\r\nStartHTML:" + startHTML + "\r\nEndHTML:" + endHTML + "\r\n" +
                           "<HTML><B>frag</B></HTML>";
    if (!startFragment.empty()) document += "StartFragment:" + startFragment + "\r\nEndFragment:" + endFragment;
    return document;
}

// What the text data format gets from a dropped block of "HTML Format".
std::wstring DroppedText(const std::string& bytes) {
    THTMLClipboardFormat html;
    TestDataObject source;
    source.PutBytes(THTMLClipboardFormat::Id(), bytes);
    EXPECT_TRUE(html.GetData(&source));
    TTextDataFormat text(nullptr);
    EXPECT_TRUE(html.AssignTo(text));
    return text.Text();
}

// The block the format writes for a text given through the text data format.
std::string WrittenBlock(const std::wstring& value) {
    TTextDataFormat text(nullptr);
    text.SetText(value);
    THTMLClipboardFormat html;
    EXPECT_TRUE(html.Assign(text));
    std::string block(html.GetSize(), '\0');
    EXPECT_TRUE(html.WriteData(block.data(), html.GetSize()));
    return block;
}

TEST(HTMLFormat, PlainTextIsWrappedWithByteOffsets) {
    EXPECT_EQ(WrapCFHTML(L"Hello"), kHelloDocument);
    EXPECT_EQ(WrittenBlock(L"Hello"), kHelloDocument + "\r\n" + '\0');
    // HTML in any case is kept as it is.
    EXPECT_EQ(WrittenBlock(L"<html><b>x</b></html>"), std::string("<html><b>x</b></html>\r\n") + '\0');

    // Offsets count UTF-8 bytes: the fragment is cut exactly, and comes back.
    const std::wstring accented = L"Gr\u00FC\u00DFe \u4E2D\u6587 \U0001F600";
    const std::string document = WrapCFHTML(accented);
    const std::string body = cls::WideToUtf8(accented);
    EXPECT_EQ(document.substr(133, body.size()), body);
    EXPECT_NE(document.find("EndFragment:" + std::string(8 - std::to_string(133 + body.size()).size(), '0') +
                            std::to_string(133 + body.size())),
              std::string::npos);
    EXPECT_EQ(DroppedText(WrittenBlock(accented)), accented);
    // Lone line breaks become CR LF before the offsets are counted.
    EXPECT_EQ(DroppedText(WrittenBlock(L"a\nb\rc")), L"a\r\nb\r\nc");
}

TEST(HTMLFormat, ReadingFallsBackFromFragmentToDocumentToWholeText) {
    const std::wstring body = L"<HTML><B>frag</B></HTML>";
    struct Row {
        const char* what;
        std::string startFragment, endFragment;
        std::wstring expected;
    };
    const Row rows[] = {
        {"exact fragment", "00000060", "00000064", L"frag"},
        {"equal fragment offsets", "00000060", "00000060", body},
        {"fragment start after end", "00000064", "00000060", body},
        {"fragment beyond the end", "00000060", "00099999", body},
        {"overflowing digits", "4294967356", "18446744073709551680", body},
        {"negative-looking", "-0000001", "00000064", body},
        {"no digits", "x", "y", body},
    };
    for (const auto& r : rows) {
        const std::string document = Document(r.startFragment, r.endFragment);
        ASSERT_EQ(document.substr(60, 4), "frag");
        EXPECT_EQ(ExtractCFHTML(document), r.expected) << r.what;
        EXPECT_EQ(DroppedText(document), r.expected) << r.what;
    }
    // Unusable document offsets after unusable fragment offsets: the whole text.
    for (const auto& [startHTML, endHTML] : {std::pair{"99999999", "00000075"}, std::pair{"00000075", "00000051"}}) {
        const std::string hostile = Document("00000060", "00000060", startHTML, endHTML);
        EXPECT_EQ(ExtractCFHTML(hostile), cls::Utf8ToWide(hostile)) << startHTML;
    }
    // Without the fragment keys the document keys are not looked at.
    const std::string noFragment = Document("", "");
    EXPECT_EQ(DroppedText(noFragment), cls::Utf8ToWide(noFragment));
    // A dropped document with LF breaks is cut at its own bytes.
    const std::string lf = "Version:0.9\nStartFragment:00000070\nEndFragment:00000074\n<HTML>\n<BODY>\nfrag</BODY>";
    ASSERT_EQ(lf.substr(70, 4), "frag");
    EXPECT_EQ(DroppedText(lf), L"frag");
}

TEST(HTMLFormat, HasDataOnlyForHTMLAndDataFormatCopiesLines) {
    THTMLClipboardFormat html;
    html.HTML().SetText(L"plain");
    EXPECT_FALSE(html.HasData());
    html.HTML().SetText(L"x<hTmL>");
    EXPECT_TRUE(html.HasData());

    THTMLDataFormat data(nullptr);
    int changes = 0;
    data.OnChanging = [&](TCustomDataFormat&) { ++changes; };
    EXPECT_TRUE(data.NeedsData());
    ASSERT_TRUE(data.Assign(html));
    EXPECT_EQ(data.HTML().Text(), L"x<hTmL>\r\n");
    EXPECT_TRUE(data.HasData());
    THTMLClipboardFormat out;
    ASSERT_TRUE(data.AssignTo(out));
    EXPECT_EQ(out.HTML().Text(), L"x<hTmL>\r\n");
    TAnsiTextClipboardFormat other;
    EXPECT_FALSE(data.Assign(other));
    data.Clear();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(data.HasData());
}

TEST(HTMLFormat, MailTextPassesUnchanged) {
    TTextDataFormat text(nullptr);
    text.SetText(L"Subject: hi\r\n\r\n<html> body");
    TRFC822ClipboardFormat mail;
    ASSERT_TRUE(mail.Assign(text));
    EXPECT_EQ(mail.Text().Text(), L"Subject: hi\r\n\r\n<html> body\r\n");
    TTextDataFormat back(nullptr);
    ASSERT_TRUE(mail.AssignTo(back));
    EXPECT_EQ(back.Text(), L"Subject: hi\r\n\r\n<html> body\r\n");
    EXPECT_EQ(GetClipboardFormatNameStr(TRFC822ClipboardFormat::Id()), L"Internet Message (rfc822/rfc1522)");
    EXPECT_EQ(GetClipboardFormatNameStr(THTMLClipboardFormat::Id()), L"HTML Format");
}

// ---- the map and a real drop ----

std::vector<std::wstring> Rows(const DataFormatClass& cls) {
    std::vector<std::wstring> names;
    for (int i = 0; i < DataFormatMap().Count(); ++i) {
        const auto& row = DataFormatMap().Rows(i);
        if (row.DataFormat == &cls)
            names.push_back(std::wstring(row.ClipboardFormat->Name) + L" " + std::to_wstring(row.Priority));
    }
    return names;
}

TEST(HTMLMailMap, RowsAndRegistrationOrder) {
    dragdrop::Initialize();
    const std::vector<std::wstring> text = Rows(TTextDataFormat::ClassInfo);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(std::vector<std::wstring>(text.end() - 2, text.end()),
              (std::vector<std::wstring>{L"TRFC822ClipboardFormat 2", L"THTMLClipboardFormat 3"}));
    EXPECT_EQ(Rows(THTMLDataFormat::ClassInfo), std::vector<std::wstring>{L"THTMLClipboardFormat 0"});
    EXPECT_EQ(Rows(TOutlookDataFormat::ClassInfo),
              (std::vector<std::wstring>{L"TFileContentsStorageClipboardFormat 0",
                                         L"TUnicodeFileGroupDescriptorClipboardFormat 1",
                                         L"TAnsiFileGroupDescriptorClipboardFormat 1"}));
    const int url = DataFormatClasses().IndexOf(TURLDataFormat::ClassInfo);
    EXPECT_EQ(DataFormatClasses().IndexOf(THTMLDataFormat::ClassInfo), url + 1);
    EXPECT_EQ(DataFormatClasses().IndexOf(TOutlookDataFormat::ClassInfo), url + 2);
}

class TextDropTarget : public TCustomDropMultiTarget {
public:
    TextDropTarget() { Text = new TTextDataFormat(this); }
    ~TextDropTarget() override { delete Text; }
    TTextDataFormat* Text;
};

TEST(HTMLMailMap, HTMLDropReachesATextDropTarget) {
    dragdrop::Initialize();
    cls::TForm form{nullptr, cls::TFormProps{.WindowClass = L"THTMLDropTestForm", .Left = 100, .Top = 100,
                                             .ClientWidth = 200, .ClientHeight = 150}};
    form.Show();
    TextDropTarget target;
    target.SetTarget(&form);
    std::wstring dropped;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { dropped = target.Text->Text(); };
    OfferingDataObject data;
    data.Offer(THTMLClipboardFormat::Id(), WrapCFHTML(L"caf\u00E9 <b>ok</b>") + '\0');
    POINT p = form.ClientToScreen({50, 50});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.DragEnter(&data, MK_LBUTTON, {p.x, p.y}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.Drop(&data, MK_LBUTTON, {p.x, p.y}, &effect), S_OK);
    EXPECT_EQ(dropped, L"caf\u00E9 <b>ok</b>");
    target.Unregister();
    form.Hide();
}

}  // namespace
