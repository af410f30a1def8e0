#include "LoginState.h"

namespace app {

std::wstring LoggedInUserId;
std::wstring LoggedInUsername;
std::wstring LoggedInDisplayName;
bool LoginJustCompleted = false;

}  // namespace app
