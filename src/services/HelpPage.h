#pragma once
// Where the help page lives: "Help/Default.htm" beside the executable, as in
// a build folder or a portable copy; an installed program keeps it in
// "<prefix>/share/cubiform/Help/Default.htm" beside "<prefix>/bin".
#include <QString>

// The first of the two places that holds the page; the one beside the
// executable when neither does. programFolder ends with a separator.
QString HelpPagePath(const QString& programFolder);
