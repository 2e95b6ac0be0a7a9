#include "serve/ServeError.h"

#include <QJsonDocument>
#include <QJsonObject>

QByteArray ErrorJson(const QString& text)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact) + '\n';
}
