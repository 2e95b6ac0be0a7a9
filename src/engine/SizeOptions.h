#pragma once
// --box-size, --trim, --pages and --paper: the box's real size, or a book's
// from its print values, read into the sliders' nearest positions.
#include "engine/OptionTable.h"

#include "document/BoxDocument.h"

#include <vector>

// Their entries in the option table, in the usage's order.
std::vector<RenderOptionEntry> SizeOptionEntries();

// UsageError for combinations that leave unclear what is meant: a real
// size beside the size sliders, --box-size beside --trim, --pages without
// --trim, --paper without --pages.
void CheckSizeOptions(const RenderOptions& options);

// Under the document's kind (after --form): the sliders moved to the
// nearest positions and the real size kept; a book's pages turned on. The
// sizes not held exactly and a book's spine are told to options.Note.
// BadInput, with nothing changed, for a size out of the kind's range or a
// book's values on another kind.
void ApplySizeOptions(BoxDocument& document, const RenderOptions& options);

// "the spine: 320 pages x 127 um / 2 = 20.32 mm + boards 5.00 mm = 25.32 mm".
QString SpineText(const RealSize& size);
