// What the login window reads out of its hidden browser's pages: the page
// kind, the logout address, the display name and the user ID; the username
// out of the profile-name page; and the session details it shows and copies.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The text of a saved document: its bytes as UTF-8 when they are valid
// UTF-8 (a byte-order mark is skipped), else in the system's ANSI code page.
std::wstring DecodeDocumentBytes(std::string_view bytes);

struct TLoginPage {
    // Empty document or the browser's own navigation-error page.
    bool Failed = false;
    std::wstring LogoutUrl;    // the mobile site's logout address; empty without a logout link
    std::wstring DisplayName;
    std::wstring UserId;       // the first ID source found, as the page gives it
    bool WrongCredentials = false;
    // A logout link and a user ID that is a valid numeric ID.
    bool LoggedIn() const;
};

// Reads the lines of a page as the browser completed it.
TLoginPage ScanLoginPage(const std::vector<std::wstring>& lines);

// The username of the profile-name page's link in one entity-decoded line;
// empty when the line has none or it is not a plain name.
std::wstring UsernameFromLine(const std::wstring& line);
// The page whose link names the logged-in user.
std::wstring UsernamePageAddress();

// The text the user picture's hint holds and the menu copies; no username
// leaves out its line and its link.
std::wstring SessionDetailsText(const std::wstring& displayName, const std::wstring& username,
                                const std::wstring& userId);
// The address the logged-in window shows in the password box.
std::wstring ProfileAddress(const std::wstring& username, const std::wstring& userId);

}  // namespace app
