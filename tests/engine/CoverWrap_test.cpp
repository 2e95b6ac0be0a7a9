#include "engine/CoverWrap.h"
#include "engine/JobError.h"

#include <gtest/gtest.h>

// A 6 x 9 in book (152.4 x 228.6 mm) with 3 mm bleed, its spine given or
// measured from the sheet; sheets of the wrong size are refused with numbers.
TEST(CoverWrapTest, FacesLieWhereTrimSpineAndBleedPutThem)
{
    const QSizeF trim(152.4, 228.6);
    struct Case {
        QSizeF Sheet;
        std::optional<double> Spine;
        double Bleed;
        double SpineMm;           // what comes out; -1: refused
        const char* Says = "";    // in the refusal
    } cases[] = {
        {{152.4 * 2 + 20 + 6, 234.6}, 20.0, 3, 20},
        {{152.4 * 2 + 20 + 6, 234.6}, std::nullopt, 3, 20},
        {{152.4 * 2 + 20.6, 228.6}, std::nullopt, 0, 20.6},
        {{152.4 * 2 + 20 + 6, 240}, 20.0, 3, -1, "needs 234.6 mm"},
        {{152.4 * 2 + 30 + 6, 234.6}, 20.0, 3, -1, "need 330.8 mm"},
        {{152.4 * 2 + 6, 234.6}, std::nullopt, 3, -1, "no spine"},
    };
    for (const Case& c : cases) {
        const WrapSizes sizes{trim, c.Spine, c.Bleed};
        if (c.SpineMm < 0) {
            try {
                CutWrap(c.Sheet, sizes, QStringLiteral("wrap.pdf"));
                ADD_FAILURE() << c.Says;
            } catch (const JobError& e) {
                EXPECT_TRUE(e.Text().contains(QLatin1String(c.Says))) << e.Text().toStdString();
            }
            continue;
        }
        const WrapFaces f = CutWrap(c.Sheet, sizes, QStringLiteral("wrap.pdf"));
        EXPECT_NEAR(f.SpineMm, c.SpineMm, 1e-9);
        EXPECT_NEAR(f.Back.left(), c.Bleed, 1e-9);
        EXPECT_NEAR(f.Back.width(), trim.width(), 1e-9);
        EXPECT_NEAR(f.Spine.left(), f.Back.right(), 1e-9);
        EXPECT_NEAR(f.Front.left(), f.Spine.right(), 1e-9);
        EXPECT_NEAR(f.Front.right(), c.Sheet.width() - c.Bleed, 1e-9);
        EXPECT_NEAR(f.Front.top(), c.Bleed, 1e-9);
        EXPECT_NEAR(f.Front.height(), trim.height(), 1e-9);
    }
}
