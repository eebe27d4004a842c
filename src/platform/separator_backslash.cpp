#include "platform/platform.h"

// Windows paths, and the simulated platform that models them.
extern const char PathSeparator = '\\';
