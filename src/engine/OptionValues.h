#pragma once
// Reading one option's value, each kind with its own wording of what is
// wrong with it: JobError (bad input) naming the option and value.
#include "engine/JobError.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

int IntegerIn(const QString& option, const QString& value, int minimum, int maximum);
// Degrees, any finite float.
float Angle(const QString& option, const QString& value);
// A finite number (decimals allowed) in minimum..maximum.
float NumberIn(const QString& option, const QString& value, float minimum, float maximum);
// "#RRGGBB" as the panel holds it: 0x00BBGGRR.
std::uint32_t Colour(const QString& option, const QString& value);
// "WxH", each side in minimum..maximum.
QSize OutputSize(const QString& option, const QString& value, int minimum, int maximum);
// "N" or one of the captions in any letter case.
int Choice(const QString& option, const QString& value, const QStringList& captions);
int SampleCount(const QString& option, const QString& value);
// A look's strength, LookLimits::MinStrength..MaxStrength.
int Strength(const QString& option, const QString& value);
// A fit's margin, percent of the picture (FitLimits).
int FitMargin(const QString& option, const QString& value);
// A file name that must not be empty (UsageError otherwise).
QString NamedFile(const QString& option, const QString& value);
// How a named value (a manifest's cell, a field of a service's request)
// sets a flag: true/yes/1 on, false/no/0 or nothing off; else nothing.
std::optional<bool> FlagValue(const QString& value);
// The words that turn a look on (its bare default) or off; numbers are its
// strength and give nothing here.
std::optional<bool> SwitchWord(const QString& value);
