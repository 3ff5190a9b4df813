#pragma once
// The console program's command line: what each option means, and the values a stamp's new time
// can come from.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/time_rule.h"

// Where one stamp's new time comes from.
struct StampValue {
    bool given = false;
    TimeRule rule = RuleSetDates;
    FILETIME time = {}; // RuleSetDates: the moment (UTC)
    int64_t shift = 0;  // RuleShift: 100 ns ticks of elapsed time
};

struct CliOptions {
    StampValue stamp[StampKinds]; // in SetFileTime's order: created, accessed, written
    std::vector<std::wstring> paths;
    std::wstring pattern = L"*.*";
    bool subfolders = false;
    bool folders = false;
    std::wstring list;     // --list FILE
    std::wstring csv;      // --csv FILE
    std::wstring saveList; // --save-list FILE
    bool preview = false;
    bool quiet = false;
    bool stopOnError = false;
    bool help = false;
    bool version = false;
};

// Reads a stamp's VALUE: a time ("2024-01-31 10:00", "2024-01-31T10:00:00.5", local by the rules
// of that date, or with "Z" or "+02:00"), a shift ("+1h", "-2d3h", "+90s", "+1h30m": days, hours,
// minutes, seconds of elapsed time) or a source word. False when it is none of them.
bool ParseStampValue(const std::wstring &text, StampValue *value);

// Reads the whole command line (without the program's name). False with a message saying what
// was wrong and what is expected.
bool ParseArguments(const std::vector<std::wstring> &arguments, CliOptions *options,
                    std::wstring *error);

// The usage text of --help.
std::wstring UsageText();
