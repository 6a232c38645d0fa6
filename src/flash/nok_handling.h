// The modem's error answers "NOK1" to "NOK4", and the restart of the erase.
#pragma once

// 1: go on (job_state tells how); 0: abandon the job.
int handle_nok(const char* reply);
// 1: restart prepared (ST_OPEN_IMAGE stored, the image closed, retry_count
// back to 0 for the new stream); 0: abandon (retry_count 7, "Abandon Chip!!").
int offer_restart(const char* question);
