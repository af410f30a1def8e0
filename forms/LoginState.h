// The user logged in through the login window, shared with the main window
// and the engine's profile search.
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

}  // namespace app
