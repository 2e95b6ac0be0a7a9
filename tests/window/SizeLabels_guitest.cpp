// View > Size labels: the classic numbers by default, else the sides in mm
// or inches, the numbers info prints for the same project; kept across starts.
#include "cli/ProjectInfo.h"
#include "document/BoxDocument.h"
#include "document/ProjectApply.h"
#include "formats/ProjectFile.h"
#include "window/WindowFixture.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct SizeLabelsTest : WindowFixture {
    QAction* Choice(const char* name) const { return form->findChild<QAction*>(QLatin1String(name)); }
};

TEST_F(SizeLabelsTest, MillimetresAndInchesAreTheSidesInfoPrints)
{
    BoxDocument doc;
    doc.NewProject();
    doc.SetForm(9);
    ASSERT_TRUE(doc.SetRealSize({152.4, 228.6, 20.32, SizeUnit::Inch}).isEmpty());
    const ProjectData data = CaptureProject(doc, CoverPathsOf(doc), QString());
    const QString project = Path(QStringLiteral("book.pcf"));
    ASSERT_TRUE(SaveProjectFile(project, EncodeProject(data)));
    const QJsonObject sides =
        QJsonDocument::fromJson(ProjectInfoJson(DecodeProject(EncodeProject(data)))).object()["sides"].toObject();

    Start();
    ShowAndWaitForGL();
    ASSERT_TRUE(form->LoadProject(project));
    EXPECT_EQ(ui::widthLabel(*form)->text(), QStringLiteral("77")); // the classic number
    ASSERT_TRUE(Choice("sizeLabelsMm"));
    Choice("sizeLabelsMm")->trigger();
    EXPECT_EQ(ui::widthLabel(*form)->text(), QString::number(sides["width"].toDouble(), 'f', 1) + " mm");
    EXPECT_EQ(ui::heightLabel(*form)->text(), QString::number(sides["height"].toDouble(), 'f', 1) + " mm");
    EXPECT_EQ(ui::thicknessLabel(*form)->text(), QString::number(sides["thickness"].toDouble(), 'f', 1) + " mm");
    Choice("sizeLabelsIn")->trigger();
    EXPECT_EQ(ui::widthLabel(*form)->text(), QStringLiteral("6.03 in"));

    form.reset();
    Start(); // the choice is kept
    EXPECT_TRUE(Choice("sizeLabelsIn")->isChecked());
    EXPECT_TRUE(ui::widthLabel(*form)->text().endsWith(QLatin1String(" in")));
}

} // namespace
