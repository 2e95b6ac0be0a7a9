#include "services/UpdateReply.h"

#include <QUrl>

namespace {

// Longer addresses are not plausible and would only bloat the store.
constexpr qsizetype MaxAddressLength = 2048;

char16_t FoldAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

} // namespace

QStringList SplitReplyLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

bool SameProductName(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (FoldAsciiLetter(a.at(i).unicode()) != FoldAsciiLetter(b.at(i).unicode()))
            return false;
    return true;
}

bool IsWebAddress(const QString& text)
{
    if (text.isEmpty() || text.size() > MaxAddressLength)
        return false;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

std::optional<UpdateReply> ParseUpdateReply(const QByteArray& body, const QString& productName)
{
    const QStringList lines = SplitReplyLines(QString::fromUtf8(body));
    if (lines.size() < 4 || !SameProductName(lines.at(0), productName))
        return std::nullopt;
    if (!IsWebAddress(lines.at(2)) || !IsWebAddress(lines.at(3)))
        return std::nullopt;
    UpdateReply reply;
    reply.LatestVersion = lines.at(1);
    reply.UpdateWebsite = lines.at(2);
    reply.DownloadURL = lines.at(3);
    reply.Notes = lines.mid(4);
    return reply;
}

QStringList MemoLines(const UpdateReply& reply)
{
    QStringList memo{QStringLiteral("Version ") + reply.LatestVersion, QString()};
    memo += reply.Notes;
    while (!memo.isEmpty() && memo.constLast().isEmpty())
        memo.removeLast();
    return memo;
}

bool IsNewerVersion(const QString& latest, const QString& current)
{
    return latest.toUtf8() > current.toUtf8();
}
