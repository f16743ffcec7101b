#pragma once
// What an interrupted run leaves in the install folder: temporaries of
// unfinished writes and downloads ("*.qtmp-XXXXXX", anywhere below it) and
// the server list of the run in Temp.
#include <string>

// Removes those leftovers below `installPath`. Links are never followed, so
// nothing outside the install folder is touched. Call only while no other
// launcher can work in the folder (the instance lock is held).
void RemoveRunLeftovers(const std::wstring& installPath);

// At the end of the process: empties Temp of the run's scratch files (a ready
// launcher closed before it emptied Temp leaves the server list there),
// unless another launcher of this user runs by now. The lock is only looked
// at, never taken: an updater waiting for it to come free starts the next
// launcher at once, and that one must not find it held.
void RemoveTempLeftoversWhenAlone(const std::wstring& installPath);
