// POSIX calls the unit tests use that the Windows C library lacks. Included
// ahead of every test source in the Windows builds only.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Replaces the trailing "XXXXXX" of pattern and creates that directory;
// returns pattern, or a null pointer (errno set) when no name could be made.
char* mkdtemp(char* pattern);

#ifdef __cplusplus
}
#endif
