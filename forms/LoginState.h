// The user logged in through the login window, shared with the main window
// and the engine's profile search, and the login window's own state that
// outlives each of its windows.
#pragma once
#include <string>

namespace app {

// Empty when nobody is logged in.
extern std::wstring LoggedInUserId;
extern std::wstring LoggedInUsername;
extern std::wstring LoggedInDisplayName;
// A login made in the login window has just closed it; the main window's
// message bar clears it and gives the results area the focus.
extern bool LoginJustCompleted;

// The e-mail or phone last submitted or remembered, trimmed; emptied when
// the login window closes. The password is never kept anywhere.
extern std::wstring LoginAccount;
// The mobile site's logout address of the current login.
extern std::wstring LogoutUrl;

// A page has been handled since the window last started a navigation.
extern bool PageHandled;
// Credentials were put into the page in this window.
extern bool LoginSubmitted;
// A submitted login gave no answer and the login page is loading again.
extern bool LoginRecheck;
// The last handled page was the browser's error page or empty.
extern bool LoginPageFailed;

}  // namespace app
