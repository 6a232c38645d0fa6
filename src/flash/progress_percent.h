// The percentage of the current file sent, for the status line.
#pragma once

// progress_done * 100 / progress_total, truncated, computed in 64 bits so a
// large file cannot overflow it; 0 while the size is unknown (0).
int progress_percent();
