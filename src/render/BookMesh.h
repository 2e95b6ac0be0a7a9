#pragma once
// A book as triangles, for the two book kinds with Shape.BookPages on: a page
// block whose top, bottom and fore-edge show page edges, the covers on boards
// (a hard cover's a little larger than the pages, with a groove at the hinge;
// a soft cover's thin and flush with them) and a spine. The spine is on the
// left (x = -HalfWidth), where the classic box shows the side picture to the
// kinds' own view; the book fills exactly the classic box, so framing stays.
#include "document/BoxParameters.h"
#include "render/ProductMesh.h"

enum class BookKind { None, HardCover, SoftCover };

// The kind a box of this form is drawn as when BookPages is on.
BookKind BookKindOf(const BoxForm& form);

// The book's measures in world units, all from the half extents.
struct BookMeasures {
    float Board = 0;       // thickness of a board (a soft cover's card)
    float Overhang = 0;    // how far the boards reach past the pages (0: flush)
    float HingeCentre = 0; // x of the groove's middle on front and back
    float HingeHalfWidth = 0;
    float HingeDepth = 0; // 0: no groove
};
BookMeasures MeasureBook(const BoxParameters& p, BookKind kind);

// Empty unless BookPages is on and the form is a book with room for pages.
ProductMesh BuildBookMesh(const BoxParameters& p);
