#pragma once
// What the saved list and its reader say in words, in the user's language, for every front end:
// the column titles, the names of where a time came from, the titles the list is read back by
// in any of the program's languages, and what is wrong with a list that cannot be read.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/time_rule.h"
#include "readers/saved_list.h"

// The item, then for each stamp in use (bit per StampIndex) its time now and its new time, then
// where the new time came from for the rules that find one.
std::vector<std::wstring> ListColumnTitles(uint8_t stamps, TimeRule rule);
// The string id of a stamp's name.
UINT StampNameId(int stamp);
// The name of a time's source; the names of all in TimeSource's order (none for None).
const wchar_t *SourceName(TimeSource source);
std::vector<std::wstring> SourceNames();
// The titles that name each stamp's time now in a list saved in any of the program's languages.
ListColumns KnownListColumns();
// What is wrong with a list: the line and why it cannot be taken.
std::wstring ListProblemText(const wchar_t *path, const ListProblem &problem);
// A list that cannot be read at all, with the system's reason.
std::wstring ListUnreadableText(const wchar_t *path, DWORD code);
// The system's own words for an error code, without the line break after them (empty when it
// has none).
std::wstring SystemText(DWORD code);
