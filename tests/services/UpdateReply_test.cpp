#include "services/UpdateReply.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateReplyTest, LinesEndAtCrLfLfOrCr)
{
    EXPECT_EQ(SplitReplyLines(QStringLiteral("a\r\nb\nc\rd")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
    // A final break adds nothing; a doubled one adds one empty line.
    EXPECT_EQ(SplitReplyLines(QStringLiteral("a\n")), QStringList{QStringLiteral("a")});
    EXPECT_EQ(SplitReplyLines(QStringLiteral("a\r\n\r\n")), (QStringList{QStringLiteral("a"), QString()}));
    EXPECT_EQ(SplitReplyLines(QStringLiteral("\n\r\n")), (QStringList{QString(), QString()}));
    EXPECT_EQ(SplitReplyLines(QStringLiteral("\n\r")), (QStringList{QString(), QString()}));
    EXPECT_TRUE(SplitReplyLines(QString()).isEmpty());
}

TEST(UpdateReplyTest, ProductNamesMatchAcrossAsciiCaseOnly)
{
    const QString name = QStringLiteral("Cubiform");
    EXPECT_TRUE(SameProductName(QStringLiteral("CUBIFORM"), name));
    EXPECT_TRUE(SameProductName(QStringLiteral("cubiform"), name));
    EXPECT_FALSE(SameProductName(QStringLiteral("Cubiforms"), name));
    EXPECT_FALSE(SameProductName(QStringLiteral("Cubiform "), name));
    EXPECT_FALSE(SameProductName(QString(), name));
    // Locale-aware folding would take the dotless and the dotted capital i for "i".
    EXPECT_FALSE(SameProductName(QString::fromUtf8("Cub\u0131form"), name));
    EXPECT_FALSE(SameProductName(QString::fromUtf8("CUB\u0130FORM"), name));
    // '@' and '`' sit next to the letters; only A..Z fold.
    EXPECT_FALSE(SameProductName(QStringLiteral("@"), QStringLiteral("`")));
}

TEST(UpdateReplyTest, OnlyWebAddressesPass)
{
    EXPECT_TRUE(IsWebAddress(QStringLiteral("https://www.cubiform.example.com")));
    EXPECT_TRUE(IsWebAddress(QStringLiteral("http://127.0.0.1:8080/next")));
    EXPECT_TRUE(IsWebAddress(QStringLiteral("HTTP://Example.com/Download.htm")));
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "mailto:a@b.example",
                            "ftp://example.com/x", "http://", "http:///path", "/etc/passwd",
                            "C:\\Windows\\notepad.exe", "example.com", "", "http://exa mple.com/",
                            "steam://run/1"})
        EXPECT_FALSE(IsWebAddress(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(IsWebAddress(QStringLiteral("http://example.com/") + QString(3000, QLatin1Char('a'))));
}

TEST(UpdateReplyTest, AcceptedReplyAndItsMemo)
{
    const auto reply = ParseUpdateReply("cubiform\r\n1.3\r\nhttp://a.example\r\nhttps://b.example/dl\r\n"
                                        "New: faster\r\n\r\nFixed: colours\r\n\r\n\r\n",
                                        QStringLiteral("Cubiform"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->LatestVersion, QStringLiteral("1.3"));
    EXPECT_EQ(reply->UpdateWebsite, QStringLiteral("http://a.example"));
    EXPECT_EQ(reply->DownloadURL, QStringLiteral("https://b.example/dl"));
    EXPECT_EQ(MemoLines(*reply), (QStringList{QStringLiteral("Version 1.3"), QString(),
                                              QStringLiteral("New: faster"), QString(),
                                              QStringLiteral("Fixed: colours")}));

    const auto bare = ParseUpdateReply("Cubiform\n1.4\nhttp://a.example\nhttp://b.example\n",
                                       QStringLiteral("Cubiform"));
    ASSERT_TRUE(bare);
    EXPECT_EQ(MemoLines(*bare), QStringList{QStringLiteral("Version 1.4")});
}

TEST(UpdateReplyTest, RefusedReplies)
{
    const QString name = QStringLiteral("Cubiform");
    EXPECT_FALSE(ParseUpdateReply("Cubiform\n1.3\nhttp://a.example", name));
    EXPECT_FALSE(ParseUpdateReply("Cubiform\n1.3\nhttp://a.example\n\n", name)); // line 4 empty
    EXPECT_FALSE(ParseUpdateReply("Cubiformx\n1.3\nhttp://a.example\nhttp://b.example", name));
    EXPECT_FALSE(ParseUpdateReply("Cubiform\n1.3\nfile:///tmp\nhttp://b.example", name));
    EXPECT_FALSE(ParseUpdateReply("Cubiform\n1.3\nhttp://a.example\nfile:///etc/passwd", name));
    EXPECT_FALSE(ParseUpdateReply("<html>\n<body>\nNot found\n</body>\n</html>", name));
    EXPECT_FALSE(ParseUpdateReply(QByteArray("\0\xff\xfe\n\n\n\n", 8), name));
}

TEST(UpdateReplyTest, VersionsCompareByteByByte)
{
    const QString current = QStringLiteral("1.2");
    EXPECT_TRUE(IsNewerVersion(QStringLiteral("1.3"), current));
    EXPECT_TRUE(IsNewerVersion(QStringLiteral("1.2.1"), current));
    EXPECT_TRUE(IsNewerVersion(QStringLiteral("2"), current));
    EXPECT_FALSE(IsNewerVersion(QStringLiteral("1.2"), current));
    EXPECT_FALSE(IsNewerVersion(QStringLiteral("1.10"), current));
    EXPECT_FALSE(IsNewerVersion(QStringLiteral("1.00"), current));
    EXPECT_FALSE(IsNewerVersion(QString(), current));
    // Bytes beyond ASCII are larger, not negative.
    EXPECT_TRUE(IsNewerVersion(QString::fromUtf8("1.\u00e9"), current));
}

} // namespace
