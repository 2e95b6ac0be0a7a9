#pragma once
// The render options as fields of a request to the service: which options a
// request may carry, and their description for a page to build its controls
// from (GET /options), read from the option table.
#include "engine/OptionTable.h"

#include <QJsonObject>
#include <QStringList>

// The picture formats a request names by word ("format"); the first is taken
// when none is named.
const QStringList& RequestFormats();

// {"options": [...]}: each option a request may carry, with its type, range,
// default (what a request naming no option gets), help line and choices; for those
// the window has a control for, its caption and the number that control
// shows where it is not the value itself. `maxOutputSide` bounds "size".
QJsonObject RequestOptionsJson(int maxOutputSide);
