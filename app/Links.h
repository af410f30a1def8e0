// Fixed addresses the Help menu opens in the user's browser.
#pragma once

namespace app {

constexpr const wchar_t* BrowserDownloadLink = L"https://korvelink.example/get/browser";
constexpr const wchar_t* CodecPackDownloadLink = L"https://korvelink.example/get/codecs";
constexpr const wchar_t* SocialPageLink = L"https://korvelink.example/social";
constexpr const wchar_t* HomePageLink = L"https://korvelink.example/";

// The update server's version file; the server speaks plain HTTP only.
constexpr const wchar_t* UpdateVersionFileLink = L"http://korvelink.example/download/KV.currver";
// The donation page of the payment service, for the program's donate button.
constexpr const wchar_t* DonationLink = L"https://korvelink.example/donate?hosted_button_id=KVDONATE4251";

}  // namespace app
