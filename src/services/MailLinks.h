#pragma once
// "mailto:" drafts handed to the shell. Subject and body are percent-encoded,
// so "&", "?", "#" or a line break in them can neither cut the link short
// nor add fields to it.
#include <QString>

QString MailDraft(const QString& address, const QString& subject, const QString& body = QString());

// The mail the error dialog offers: "Dear author,", two empty lines and the
// message after "An error has been encountered with the message:", each
// line ended by a line feed.
QString ErrorReportBody(const QString& message);
QString ErrorReportMail(const QString& message);
