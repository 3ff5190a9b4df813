#pragma once
// The status line (control 1003): the counts of the current mode or the progress of a pass.
void ShowStatus();
