#include "platform/platform.h"

// POSIX paths.
extern const char PathSeparator = '/';
