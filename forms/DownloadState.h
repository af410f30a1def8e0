// What the download window tells the rest of the program: whether it
// exists, whether a transfer runs, and where the user last left it.
#pragma once

namespace app {

extern bool DownloadFormExists;
extern bool DownloadRunning;
// -1 until a download window was closed; set by the main window at start.
extern int DownloadFormLeft;
extern int DownloadFormTop;

}  // namespace app
