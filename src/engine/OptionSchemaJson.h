#pragma once
// The options of every command as JSON, for the service to describe the
// fields a request may send and for pages that build their controls from it.
#include <QJsonArray>

// One object per option, render's first, then turntable's, batch's and
// serve's own: name, commands, type, min and max (where there is a range),
// default, unit, help, choices (a choice's names, the sample counts),
// serviceField and manifestColumn.
QJsonArray OptionSchemaJson();
