#include "DownloadState.h"

namespace app {

bool DownloadFormExists = false;
bool DownloadRunning = false;
int DownloadFormLeft = -1;
int DownloadFormTop = -1;

}  // namespace app
