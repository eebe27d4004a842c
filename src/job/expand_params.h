#pragma once

#include <cstddef>
#include <span>

// The expansion of the template for one file fits 4095 characters and the NUL.
inline constexpr std::size_t ExpansionBufferSize = 4096;

// Writes the template with its placeholders replaced for one file into
// `output`, NUL-ended. Every template is accepted:
//
//   %%            one %                      %1      the full path, never quoted
//   %~seq1        seq letter by letter:      F full path, P drop folder,
//                 N name before its last dot, E and X the part after it,
//                 Q nothing; any other character stands for itself
//   %<other>      nothing (both dropped)     % last  one %
//
// A modifier sequence runs to the first "1" or the template's end. It is put in
// double quotes when it holds a Q and the full path, the folder or the name
// holds a blank. For "report.txt" in D:\in:
//
//   %~n.x1  ->  report.txt        %~nx1  ->  reporttxt      %~n%1  ->  report%
//
// Returns true when the whole expansion fitted. On false `output` holds a cut
// text that must never be used as a command line.
bool ExpandParams(std::span<char> output, const char* templateText, const char* fullPath,
                  const char* name, const char* dropFolder);
