#include "textures/TGLBMP.h"

// File readers and writers. Filled in with the codecs.
bool TGLBMP::LoadFromFile(const QString&) { return false; }
bool TGLBMP::SaveToFile(const QString&) { return false; }
