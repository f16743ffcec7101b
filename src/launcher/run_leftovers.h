#pragma once
// What an interrupted run leaves in the install folder: temporaries of
// unfinished writes and downloads ("*.qtmp-XXXXXX", anywhere below it) and
// the server list of the run in Temp.
#include <string>

// Removes those leftovers below `installPath`. Links are never followed, so
// nothing outside the install folder is touched. Call only while no other
// launcher can work in the folder (the instance lock is held).
void RemoveRunLeftovers(const std::wstring& installPath);

// The same at the end of the process, when no launcher of this user runs any
// more (the instance lock is free and taken for the while): what a close at
// an awkward moment left (a ready launcher closed before it emptied Temp)
// goes at once.
void RemoveRunLeftoversWhenAlone(const std::wstring& installPath);
