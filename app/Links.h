// Fixed addresses the Help menu opens in the user's browser.
#pragma once

namespace app {

constexpr const wchar_t* BrowserDownloadLink = L"https://korvelink.example/get/browser";
constexpr const wchar_t* CodecPackDownloadLink = L"https://korvelink.example/get/codecs";
constexpr const wchar_t* SocialPageLink = L"https://korvelink.example/social";
constexpr const wchar_t* HomePageLink = L"https://korvelink.example/";

}  // namespace app
