// The numeric ID behind a profile, page, group or event link: the link's
// kind and name part, the ID taken from the link, from the logged-in user or
// from the mobile profile page, and the user's small picture.
#pragma once
#include <string>
#include <string_view>

namespace engine {

// Link kinds, in the order the tests are made.
enum TProfileLinkKind : int {
    plkNone = 0,
    plkName = 1,        // facebook.com/NAME
    plkProfileId = 2,   // profile.php?id=ID
    plkPages = 3,       // pages/NAME/ID
    plkVideoSet = 4,    // media/set/?set=vb.ID
    plkPeople = 5,      // people/NAME/ID
    plkAlbumSet = 6,    // media/set/?set=o.ID
    plkPhotoSet = 7,    // media/set/?set=p.ID
    plkGroups = 8,
    plkEvents = 9,
    plkMessages = 10,
    plkVideoPhpSet = 11,  // video.php?set=vb.ID
};

// Whoever is logged in; both empty when nobody is. The caller passes it in
// so that the engine never reaches into the login window's state.
struct TLoggedInUser {
    std::wstring Id;
    std::wstring Username;
};

struct TProfileLink {
    std::wstring Part;  // name or ID part, letter case as in the link
    int Kind = plkNone;
};

// Classifies the link. A link without the site's domain, or naming nothing
// after it, stands for the logged-in user. A kind whose part comes out empty
// is no kind at all.
TProfileLink ParseProfileLink(std::wstring_view link, const TLoggedInUser& user);

// The numeric ID for a parsed link: from the part itself, from the
// logged-in user, or by scanning the mobile profile page of a name. Empty
// when none was found; the text is not checked for being a number here.
std::wstring FetchUserId(const std::wstring& part, int kind, const TLoggedInUser& user);

// A profile name that may go into a page address: letters, digits, ".",
// "-" and "_", and not only dots.
bool IsProfileName(std::wstring_view part);

std::wstring MobileProfileAddress(const std::wstring& part);
std::wstring ProfilePictureAddress(const std::wstring& userId);

// Finds the ID in the lines of a mobile profile page. The add-friend link
// wins over every other marker wherever it is; the others count only while
// nothing was found.
class TProfileIdScanner {
public:
    void Feed(const std::wstring& line);
    const std::wstring& Id() const { return id_; }

private:
    std::wstring id_;
};

// Stores the picture service's 74 by 74 picture of UserId in FileName,
// creating its folder. A user ID that is not a digit string is refused; a
// failed or empty transfer leaves no file. True when the file was stored.
bool DownloadProfilePicture(const std::wstring& fileName, const std::wstring& userId);

}  // namespace engine
