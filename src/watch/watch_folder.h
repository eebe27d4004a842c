#pragma once

#include "startup/settings.h"

// Watches the drop folder and its subfolders until the tool is to end. Each
// change starts a pass over the folder's listing: names that begin with a dot
// are passed over, the stop marker "close!" (any case) ends the run, and every
// other entry goes through readiness to its job. Files already there at start
// wait for the first change. Returns 0 on the stop marker or a quit message,
// 1 (after a notice with the platform's reason) when the folder cannot be
// watched.
int WatchFolder(const Settings& settings);
