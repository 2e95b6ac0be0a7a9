#pragma once
// Large covers and their textures take hundreds of megabytes of fresh memory,
// and filling it page by page costs a good part of a render (tens of
// thousands of page faults). glibc can ask for huge pages for its large
// allocations, including the GL driver's textures, but only when told so
// at start-up; the window then starts itself once more with that setting
// (and a fixed limit for the blocks malloc maps on their own).
#include <optional>
#include <string>

// The GLIBC_TUNABLES value to start again with, given the current one (null
// when unset); nothing when huge pages are already asked for. The user's
// own settings stand.
std::optional<std::string> TunablesWithHugePages(const char* current);

// Starts the program again with huge pages asked for, where that helps and
// is possible (glibc, no preloaded tool such as valgrind or heaptrack, not
// already done); returns when it does not. After such a start, the caller's
// environment is put back as it was, so programs it starts see no change.
void RestartWithHugePages(char** argv);
