#pragma once

// Whether a file's name can be handed to `executableName` on a command line
// without being split, merged with other arguments or acted on by a command
// interpreter. Names that cannot are never run.
//
// Never carried: a double quote, a backslash (it escapes a quote that the
// template may put right after the name) and the control characters 0x01 to
// 0x1F and 0x7F. Windows forbids all of them in names; other platforms allow
// them, and there a name such as `a" "-rf` would add arguments.
//
// When the job runs through the command interpreter (the program is a batch
// file, .bat or .cmd, or cmd itself, however Windows would find it: trailing
// dots and blanks dropped, the name ending at a blank), the interpreter acts
// on & | < > ^ wherever they stand outside quotes, and expands % and ! even
// inside them. A name is quoted only when some blank turns quoting on, so any
// of these in a name could run commands of the dropper's choosing.
// Parentheses are refused too: a batch file that uses its argument unquoted
// inside a block (`if exist %1 (...)`) lets `x)else(...` run commands.
bool IsNameSafeToRun(const char* executableName, const char* name);
