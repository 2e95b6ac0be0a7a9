#pragma once
// The update server's line-oriented reply: product name, latest version,
// base URL of the next check, download page, then release notes.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct UpdateReply {
    QString LatestVersion;
    QString UpdateWebsite;
    QString DownloadURL;
    QStringList Notes;
};

// Lines end at CR LF, LF or CR; a final line break adds no empty line.
QStringList SplitReplyLines(const QString& text);

// Only A..Z and a..z match across case; no locale folding.
bool SameProductName(const QString& a, const QString& b);

// An absolute http or https address with a host. Reply addresses become the
// next request's base and the page the shell opens, so nothing else passes.
bool IsWebAddress(const QString& text);

// nullopt unless there are at least four lines, the first names the product
// and lines 3 and 4 are web addresses.
std::optional<UpdateReply> ParseUpdateReply(const QByteArray& body, const QString& productName);

// "Version " + version, an empty line, the notes; trailing empty lines removed.
QStringList MemoLines(const UpdateReply& reply);

// Plain byte order, so "1.10" is older than "1.2".
bool IsNewerVersion(const QString& latest, const QString& current);
