#pragma once
// The rule row of the times group: which rule gives each item its new times, and for a shift how
// far each picker has been moved, shown beside it.
#include <windows.h>

#include <cstdint>

// Fills the list with the rules and chooses the first (nothing is kept between runs).
void InitRuleRow(HWND dialog);
// The user chose another rule.
void OnRuleChanged(HWND dialog);
// Shows each checked picker's shift beside it while the rule is a shift; hides it otherwise.
void ShowShifts(HWND dialog);
// Before a pass: each picker's shift from the time loaded from the target, into the job record.
void StoreShifts();
