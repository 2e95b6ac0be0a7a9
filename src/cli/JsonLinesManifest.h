#pragma once
// The JSON lines form of a batch manifest: one object per line, blank lines
// skipped; a line that cannot be a row is kept with its error.
#include "cli/BatchManifest.h"

Manifest ParseJsonLines(const QString& text);
