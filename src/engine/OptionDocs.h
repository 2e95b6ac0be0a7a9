#pragma once
// The option lists of the manual page and the manual's option tables, made
// from the option tables: the prose around them stays written by hand.
#include "engine/OptionTable.h"

#include <QString>

#include <vector>

enum class DocStyle { ManPage, Markdown, Html };

// A command's options as the manual page's .TP paragraphs or as a Markdown
// table; hidden options are left out.
QString OptionList(OptionCommand command, DocStyle style);

// `text` with each list between its markers made anew: the lines
// "<!-- options:render -->" ... "<!-- /options -->" in Markdown,
// '.\" options:render' ... '.\" /options' in a manual page. Throws BadInput
// for a marker that names no command or is never closed.
QString WithOptionLists(const QString& text, DocStyle style);

// What each command does, in one line: the same words in the manual page's
// list of commands and the window's help page.
struct CommandSummary {
    const char* Name;
    const char* Line;
};
const std::vector<CommandSummary>& CommandSummaries();

// `text` with the list of commands between '.\" commands' and '.\" /commands'
// (a manual page) or "<!-- commands -->" and "<!-- /commands -->" (HTML)
// made anew. Throws BadInput for a list that is never closed.
QString WithCommandList(const QString& text, DocStyle style);
