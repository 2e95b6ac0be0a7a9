#pragma once
// A burst of input (wheel notches, keys pressed in quick succession, a held
// key's repeats) is one change, as a drag is: it goes on until the input
// has paused this long.
// Longer than the usual delay before a held key repeats (500-660 ms).
inline constexpr int InputBurstPauseMs = 700;

// Marks one step of a burst now.
void NoteInputBurst();
// True while the last step of a burst is more recent than the pause.
bool InputBurstRunning();
