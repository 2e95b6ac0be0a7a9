#pragma once
// The usage text, whole for --help and by command for "COMMAND --help", and
// the words that name a command.
#include <QString>
#include <QStringList>

// Every command's usage, options and the exit statuses.
QString UsageText();

// One command's usage lines, its options and the exit statuses; empty for a
// word that is not a command.
QString CommandHelp(const QString& command);

// render, turntable, info, batch and serve.
QStringList CommandNames();
bool IsCommandName(const QString& word);

// The command nearest to a mistyped word (edit distance), when one is close
// enough to be what was meant; empty otherwise.
QString NearestCommand(const QString& word);

// What follows every wrong-use message.
QString TryHelpText();
