#include "Settings.h"

#include <memory>

#include "classlib/Files.h"
#include "classlib/IniFiles.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"

namespace app {

namespace {
const wchar_t* const kSection = L"General";
}

std::wstring DownloadFolder;
int SearchEngineIndex = 1;
int SearchKind = 1;
bool KeepSearchFormOpen = false;

std::wstring ConfigFileName() { return engine::DataFolder + L"Config.ini"; }

std::wstring LeerArchivoConfig(const std::wstring& key) {
    std::wstring file = ConfigFileName();
    if (!cls::FileExists(file)) return {};
    cls::TMemIniFile ini(file, cls::TextEncoding::UTF8);
    return ini.ValueExists(kSection, key) ? ini.ReadString(kSection, key, L"") : std::wstring();
}

void EscribirArchivoConfig(const std::wstring& key, const std::wstring& value) {
    if (!cls::DirectoryExists(engine::DataFolder) && !cls::ForceDirectories(engine::DataFolder)) return;
    std::unique_ptr<cls::TMemIniFile> ini;
    try {
        ini = std::make_unique<cls::TMemIniFile>(ConfigFileName(), cls::TextEncoding::UTF8);
    } catch (...) {
        return;
    }
    try {
        ini->WriteString(kSection, key, value);
    } catch (...) {
        // A setting that cannot be kept is lost; the program goes on.
    }
    try {
        ini->UpdateFile();
    } catch (...) {
        // The file keeps its old settings; the program goes on.
    }
}

int ParseSearchEngineIndex(const std::wstring& value) {
    std::optional<int> n = cls::TryStrToInt(value);
    // An index the engine list does not have would leave the search window
    // without a selection.
    return n && *n >= 1 && *n <= SearchEngineCount ? *n : 1;
}

int ParseSearchKind(const std::wstring& value) {
    if (value == L"1") return 1;
    if (value == L"2") return 2;
    return 1;
}

std::optional<bool> ParseKeepSearchFormOpen(const std::wstring& value) {
    if (value == L"0") return false;
    if (value == L"1") return true;
    return std::nullopt;
}

std::wstring ResolveDownloadFolder(const std::wstring& value, const std::wstring& documentsFolder,
                                   const std::function<bool(const std::wstring&)>& directoryExists) {
    std::wstring folder = cls::ExcludeTrailingPathDelimiter(value);
    if (!folder.empty() && directoryExists(folder)) return folder;
    return documentsFolder + L"Korvelink\\";
}

}  // namespace app
