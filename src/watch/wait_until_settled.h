#pragma once

enum class Readiness { Ready, Skip };

// Holds the caller until no other process holds the file at `fullPath` and
// its size has stayed the same over 500 ms, then answers Ready. Answers Skip,
// without a notice, for a file that is gone, a folder, a file the tool may not
// read, or one it may not rename (waiting could never end then). Polls every
// 500 ms with no time-out while the file is held or still growing.
Readiness WaitUntilSettled(const char* fullPath);
