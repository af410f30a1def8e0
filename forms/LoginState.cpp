#include "LoginState.h"

namespace app {

std::wstring LoggedInUserId;
std::wstring LoggedInUsername;
std::wstring LoggedInDisplayName;
bool LoginJustCompleted = false;

std::wstring LoginAccount;
std::wstring LogoutUrl;

bool PageHandled = false;
bool LoginSubmitted = false;
bool LoginRecheck = false;
bool LoginPageFailed = false;

}  // namespace app
