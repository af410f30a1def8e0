// An ini file held in memory: read whole on creation, written whole by
// UpdateFile. Section and key names compare without case; values keep theirs.
#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "StringList.h"

namespace cls {

// Whether values lose the blanks around them, or are kept exactly as they
// stand after the "=" (files whose readers compare them as they are).
enum class TIniValues { Trimmed, AsWritten };

class TMemIniFile {
public:
    // Loads FileName when it exists; a missing or unreadable file gives an
    // empty ini. UTF8 files are saved with a byte-order mark; Default ones
    // are saved in the encoding they were read in (system code page when
    // new).
    explicit TMemIniFile(std::wstring_view fileName, TextEncoding encoding = TextEncoding::Default,
                         TIniValues values = TIniValues::Trimmed);

    const std::wstring& FileName() const { return fileName_; }

    std::wstring ReadString(std::wstring_view section, std::wstring_view key,
                            std::wstring_view def) const;
    int ReadInteger(std::wstring_view section, std::wstring_view key, int def) const;
    bool ReadBool(std::wstring_view section, std::wstring_view key, bool def) const;
    void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    void WriteInteger(std::wstring_view section, std::wstring_view key, int value);
    void WriteBool(std::wstring_view section, std::wstring_view key, bool value);

    bool SectionExists(std::wstring_view section) const;
    bool ValueExists(std::wstring_view section, std::wstring_view key) const;
    std::vector<std::wstring> ReadSection(std::wstring_view section) const;  // key names
    void DeleteKey(std::wstring_view section, std::wstring_view key);
    void EraseSection(std::wstring_view section);

    // Writes the whole ini to FileName atomically; false when that fails.
    bool UpdateFile() const;

private:
    struct Entry {
        std::wstring key, value;
    };
    struct Section {
        std::wstring name;
        std::vector<Entry> entries;
    };
    const Section* Find(std::wstring_view section) const;
    Section* Find(std::wstring_view section);
    Section& AddSection(std::wstring name);
    void RebuildIndex();

    std::wstring fileName_;
    TextEncoding encoding_;
    TIniValues values_;
    enum class Saved { Utf8Bom, Utf16Le, Ansi } saved_ = Saved::Ansi;
    std::vector<Section> sections_;
    // Lower-cased section name -> its place in sections_, so that a file of
    // many sections parses in linear time.
    std::unordered_map<std::wstring, size_t> index_;
};

}  // namespace cls
