#include "services/MailLinks.h"

#include "services/ProductInfo.h"

#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

// What a mail program reads from the link.
struct Draft {
    QString address, subject, body;
    QStringList keys;
};

Draft Read(const QString& target)
{
    const QUrl url(target, QUrl::StrictMode);
    EXPECT_TRUE(url.isValid()) << target.toStdString();
    EXPECT_EQ(url.scheme(), "mailto");
    const QUrlQuery query(url);
    Draft draft;
    draft.address = url.path(QUrl::FullyDecoded);
    draft.subject = query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
    draft.body = query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    for (const auto& item : query.queryItems())
        draft.keys << item.first;
    return draft;
}

TEST(MailLinks, TheErrorReportReadsAsWritten)
{
    const Draft draft = Read(ErrorReportMail(QStringLiteral("Disk full")));
    EXPECT_EQ(draft.address, QString(ProductInfo::SupportMail));
    EXPECT_EQ(draft.subject, "Error report");
    EXPECT_EQ(draft.body, "Dear author,\n\n\nAn error has been encountered with the message:Disk full\n");
    EXPECT_EQ(draft.keys, QStringList({"subject", "body"}));
}

TEST(MailLinks, MessageCharactersCannotCutOrExtendTheLink)
{
    const QString message =
        QStringLiteral("Can't read \"a&b.pcf\"?\nline 2 #3 100% + cc=x&bcc=evil@example.com \u00e9");
    const Draft draft = Read(ErrorReportMail(message));
    EXPECT_EQ(draft.body, ErrorReportBody(message));
    EXPECT_TRUE(draft.body.endsWith(message + QLatin1Char('\n')));
    EXPECT_EQ(draft.keys, QStringList({"subject", "body"}));
    EXPECT_FALSE(ErrorReportMail(message).contains(QLatin1Char('#')));
}

TEST(MailLinks, SupportMailTakesTheCaptionAsSubject)
{
    const QString target = MailDraft(QString(ProductInfo::SupportMail), QString(ProductInfo::Caption));
    EXPECT_TRUE(target.startsWith(QStringLiteral("mailto:support@cubiform.example.com?subject=")));
    const Draft draft = Read(target);
    EXPECT_EQ(draft.subject, "Cubiform Classic version 1.2 (Freeware)");
    EXPECT_EQ(draft.keys, QStringList({"subject"}));
}

} // namespace
