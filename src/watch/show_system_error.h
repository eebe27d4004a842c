#pragma once

// Shows the platform's text for the calling thread's last error in a notice
// with `caption`. Call it right after the operation that failed, before
// anything else can change the last error.
void ShowSystemError(const char* caption);
