#pragma once
#include <QString>

// Asks the desktop to open a document, folder, web page or "mailto:" draft.
// Local paths go as file URLs. True when the desktop accepted the request;
// failures are not reported (callers ignore the result).
bool ShellOpen(const QString& target);
