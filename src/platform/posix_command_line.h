// The two command-line transforms that POSIX needs to meet Windows halfway.
#pragma once

#include <string>
#include <vector>

// Splits a command line into arguments by the rules of the Microsoft C
// runtime (and CommandLineToArgvW), as a Windows program would receive them:
//
//   the program (first argument): up to the first blank or tab; if it begins
//   with a double quote, up to the next double quote, backslashes literal.
//   every other argument: ends at a blank or tab outside quotes;
//     2n backslashes + "    ->  n backslashes, the quote opens or closes
//     2n+1 backslashes + "  ->  n backslashes and a literal "
//     "" inside quotes      ->  a literal ", still inside quotes
//     other backslashes     ->  themselves
//
//   prog a "b c" d            ->  prog | a | b c | d
//   prog "" x                 ->  prog | (empty) | x
//   prog a\\"b c" \"d a\\b    ->  prog | a\b c | "d | a\\b
//   prog "a ""b"" c"          ->  prog | a "b" c
//   "C:\my tools\x" y         ->  C:\my tools\x | y
std::vector<std::string> SplitWindowsCommandLine(const char* commandLine);

// Forms the command-line text that Windows hands a program, from POSIX
// arguments (without the program's own name): joined by single blanks, an
// empty argument or one holding a blank put in double quotes. Nothing else
// is escaped; the tool's token reader keeps quotes and backslashes inside a
// field as they are.
//
//   job  1,2,1  /in  %1        ->  job 1,2,1 /in %1
//   job  ""  "/my in"  -x %1   ->  job "" "/my in" -x %1
std::string FormCommandLineText(int count, const char* const* arguments);
