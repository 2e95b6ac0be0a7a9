#include "services/MailLinks.h"

#include "services/ProductInfo.h"

#include <QUrl>

namespace {

QString Encoded(const QString& text, const QByteArray& keep = QByteArray())
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, keep));
}

} // namespace

QString MailDraft(const QString& address, const QString& subject, const QString& body)
{
    QString target = QStringLiteral("mailto:") + Encoded(address, "@") + QStringLiteral("?subject=") +
                     Encoded(subject);
    if (!body.isEmpty())
        target += QStringLiteral("&body=") + Encoded(body);
    return target;
}

QString ErrorReportBody(const QString& message)
{
    const QString lines[] = {QStringLiteral("Dear author,"), QString(), QString(),
                             QStringLiteral("An error has been encountered with the message:") + message};
    QString body;
    for (const QString& line : lines)
        body += line + QLatin1Char('\n');
    return body;
}

QString ErrorReportMail(const QString& message)
{
    return MailDraft(QString(ProductInfo::SupportMail), QStringLiteral("Error report"),
                     ErrorReportBody(message));
}
