// The video history: "Historial.dat" in the data folder, one video per line
// as ID ">" title, newest first. Nothing is cached: every routine loads the
// file, changes it and saves it at once, and a failed load or save is
// ignored. These are the file side of the history drop-down and of the
// clean-history window; the windows only turn the results into items.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace app {

struct THistoryEntry {
    std::wstring Id, Title;
};

constexpr int kMaxHistoryEntries = 30;
// The largest file Import takes.
constexpr size_t kMaxHistoryFileBytes = 1024 * 1024;
// The largest history file any routine reads. The program keeps 30 entries
// and Import takes 1 MiB, so a larger file was made by hand or damaged:
// every routine treats it as a file that cannot be loaded, ignoring it and
// never writing over it, so the window never waits on it and nothing of it
// is lost.
constexpr uint64_t kMaxLoadableHistoryBytes = 8 * kMaxHistoryFileBytes;
// Caption lengths of the drop-down: the full fill (and a link filter), and
// the filter by text.
constexpr size_t kCaptionLength = 55;
constexpr size_t kTextFilterCaptionLength = 54;

std::wstring HistoryFileName();  // DataFolder + "Historial.dat"
// ThumbnailsFolder + ID + ".jpg", or empty when Id is not a valid video ID:
// the file is edited by hand and imported, so only such IDs ever name a file.
std::wstring HistoryThumbnailFile(std::wstring_view id);
// The lower-cased names of the thumbnails present: a fill lists the folder
// once rather than asking about every entry, which may be many.
std::set<std::wstring> ListThumbnails();
// What the link box shows and the tip says for an entry.
std::wstring CanonicalVideoAddress(const std::wstring& id);

// Split at the first ">" (the title may hold more); nothing for a line that
// is blank after trimming or has no ">". Id or Title may still be empty.
std::optional<THistoryEntry> ParseHistoryLine(std::wstring_view line);

// Puts Id ">" Title at the top, replacing every line of the same ID. Line
// breaks in the title become blanks.
void AgregarEnHistorial(const std::wstring& id, const std::wstring& title);
// Moves the line of this ID to the top; adds nothing.
void SubirAPosicionUnoEnHistorial(const std::wstring& id);

// The full fill: drops blank and ">"-less lines, keeps the newest 30
// (deleting the thumbnails of the others), saves the file and gives the
// entries whose ID and trimmed title are both non-empty, titles trimmed.
std::vector<THistoryEntry> LoadAndCleanHistory();

struct THistoryFilter {
    std::vector<THistoryEntry> Entries;  // titles as in the file
    bool ByLink = false;                 // the text was a video link
    size_t CaptionLength() const { return ByLink ? kCaptionLength : kTextFilterCaptionLength; }
};
// The entries that match the link box text: by video ID when the text is a
// video link, else by accent-free, lower-cased substring of the title.
// Nothing changes, so the file is not written.
THistoryFilter FilterHistory(const std::wstring& text);

// Mode 1 is the drop-down (a leading blank; past MaxLength the first
// MaxLength characters trimmed plus "...", never on Windows XP); any other
// mode the plain trimmed title. A surrogate pair is never cut in half.
std::wstring HistoryCaption(std::wstring_view title, int mode, bool windowsXP,
                            size_t maxLength = kCaptionLength);
// The drop-down's bottom line: "Total ..." after a full fill, "Result: ..."
// after a filtered one.
std::wstring HistoryCountText(int count, bool filtered);
std::wstring RemoveAccents(std::wstring_view s);

// At exit: the whole thumbnail folder without a history, else every file in
// it whose name is not an ID of the history.
void DeleteUnusedThumbnails();

// Copies the history file to Target, replacing it.
bool BackupHistory(const std::wstring& target);
// Valid UTF-8 (a byte-order mark allowed) without NUL bytes; empty is text.
bool IsUtf8Text(std::string_view bytes);
// Replaces the history file with Source when that is text of at most
// kMaxHistoryFileBytes; false, with nothing written, otherwise.
bool ImportHistory(const std::wstring& source);
// The clean-history window's deletion: the entries of these (trimmed) IDs
// and their thumbnails go, the others stay in order with trimmed IDs and
// titles, written once (no file when none stays). Thumbnails are deleted
// only after the file was written.
bool RemoveHistoryEntries(const std::set<std::wstring>& ids);

}  // namespace app
