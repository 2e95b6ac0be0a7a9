// The manual page's lists and the manual's tables are the option tables'.
#include "engine/CommandOptions.h"
#include "engine/JobError.h"
#include "engine/OptionDocs.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QString Read(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(OptionDocsTest, TheManualsTablesAreTheOptionTables)
{
    const QString manual = Read(CUBIFORM_MANUAL);
    for (OptionCommand command : OptionCommands())
        EXPECT_TRUE(manual.contains(QStringLiteral("<!-- options:%1 -->").arg(CommandWord(command))))
            << CommandWord(command).toStdString();
    EXPECT_TRUE(manual == WithOptionLists(manual, DocStyle::Markdown))
        << "docs/manual.md's option tables are not the option tables'; run scripts/update-manual-options.sh";
}

// The commands' one-line summaries are one text in both pages.
TEST(OptionDocsTest, TheHelpPageAndTheManPageListTheCommandsAlike)
{
    const QString help = Read(CUBIFORM_HELP_PAGE);
    EXPECT_TRUE(help == WithCommandList(help, DocStyle::Html))
        << "help/Default.htm's list of commands is not the program's; run scripts/update-manual-options.sh";
    const QString page = WithCommandList(Read(CUBIFORM_MAN_PAGE), DocStyle::ManPage);
    for (const CommandSummary& command : CommandSummaries()) {
        EXPECT_TRUE(help.contains(QStringLiteral("<code>cubiform %1</code>").arg(QLatin1String(command.Name)))) << command.Name;
        EXPECT_TRUE(page.contains(QStringLiteral(".TP\n.B %1\n").arg(QLatin1String(command.Name)))) << command.Name;
    }
}

TEST(OptionDocsTest, TheManPageListsEveryOptionOfEveryCommand)
{
    const QString page = WithOptionLists(Read(CUBIFORM_MAN_PAGE), DocStyle::ManPage);
    for (OptionCommand command : OptionCommands())
        for (const RenderOptionEntry& entry : OwnOptionTable(command)) {
            const QString named = entry.LongName().replace(QLatin1Char('-'), QLatin1String("\\-"));
            const QRegularExpression listed(
                QStringLiteral("\\n\\.TP\\n\\.BI? (.*\\s)?%1[\\s\"]").arg(QRegularExpression::escape(named)));
            EXPECT_EQ(listed.match(page).hasMatch(), entry.Section != OptionSection::Hidden) << entry.Name;
        }
}

TEST(OptionDocsTest, AMarkerForNoCommandOrNeverClosedIsRefused)
{
    const struct {
        const char* text;
        const char* said;
    } cases[] = {
        {"<!-- options:paint -->\n<!-- /options -->\n", "no command's options are called \"paint\""},
        {"intro\n<!-- options:serve -->\n| old |\n", "line 2: the options of serve are never closed"},
    };
    for (const auto& c : cases) {
        try {
            WithOptionLists(QString::fromUtf8(c.text), DocStyle::Markdown);
            ADD_FAILURE() << c.text;
        } catch (const JobError& e) {
            EXPECT_EQ(e.Status(), ExitBadInput);
            EXPECT_TRUE(e.Text().contains(QString::fromUtf8(c.said))) << e.Text().toStdString();
        }
    }
}
