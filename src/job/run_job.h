#pragma once

#include "startup/settings.h"

// Runs the configured program on one settled file and waits for it: the
// command line is ExecutableName, a blank and the template's expansion; the
// job starts detached at the configured priority in the drop folder (once more
// without DETACHED_PROCESS if refused). An exit code outside the failure range
// deletes the file. Otherwise the file stays and a notice says why: the job
// failed ("Error!"), could not start ("Could not execute:"), its exit code
// could not be learnt, or its command line or error notice would not fit 511
// characters (it is then never started rather than started cut short).
void RunJob(const Settings& settings, const char* fullPath, const char* name);
