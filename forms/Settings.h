// "Config.ini" in the data folder: one section "General" of string values,
// read and written one key at a time (the file is opened anew for each),
// and the settings other windows keep in memory once the main window has
// read them at start.
#pragma once
#include <functional>
#include <optional>
#include <string>

namespace app {

std::wstring ConfigFileName();  // DataFolder + "Config.ini"

// The value of Key in section "General"; empty when the file or key is
// missing.
std::wstring LeerArchivoConfig(const std::wstring& key);
// Writes Key at once, creating the data folder when needed; every failure
// is dropped silently.
void EscribirArchivoConfig(const std::wstring& key, const std::wstring& value);

// The download folder (kept by the download-folder window). Ends with a
// delimiter only in its default value and after that window's OK.
extern std::wstring DownloadFolder;
// The video-link search window's choices: engine (1-based), kind (1 video
// links, 2 album links) and whether it stays open after a search.
extern int SearchEngineIndex;
extern int SearchKind;
extern bool KeepSearchFormOpen;

// The search window lists this many engines.
constexpr int SearchEngineCount = 86;

// "MotorBusqueda": an engine the search window lists, else 1.
int ParseSearchEngineIndex(const std::wstring& value);
// "TipoBusqueda": 1 or 2, else 1.
int ParseSearchKind(const std::wstring& value);
// "NoCerrarFormBuscarLinks": "0" or "1"; nothing leaves the flag as it was.
std::optional<bool> ParseKeepSearchFormOpen(const std::wstring& value);
// "CarpetaDestino" without its trailing delimiter when that folder exists,
// else Documents + "Korvelink\".
std::wstring ResolveDownloadFolder(const std::wstring& value, const std::wstring& documentsFolder,
                                   const std::function<bool(const std::wstring&)>& directoryExists);

}  // namespace app
