#pragma once
// A burst of repeated input (wheel notches, a held key's repeats) is one
// change, as a drag is: it goes on until the input has paused this long.
inline constexpr int InputBurstPauseMs = 400;

// Marks one step of a burst now.
void NoteInputBurst();
// True while the last step of a burst is more recent than the pause.
bool InputBurstRunning();
