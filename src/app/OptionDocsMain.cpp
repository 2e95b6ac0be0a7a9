// Writes the option lists into the manual page and the manual:
//   cubiform-option-docs man TEMPLATE OUTPUT   the page, its lists filled in
//   cubiform-option-docs manual FILE           the manual's tables made anew, in place
//   cubiform-option-docs help FILE             the help page's list of commands made anew, in place
// Built with the program, so the lists are always the option tables'.
#include "engine/JobError.h"
#include "engine/OptionDocs.h"

#include <QFile>
#include <QString>

#include <cstdio>

namespace {

QString Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BadInput(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

void Write(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        throw BadInput(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

} // namespace

int main(int argc, char** argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    try {
        if (mode == QLatin1String("man") && argc == 4) {
            const QString page = WithCommandList(WithOptionLists(Read(QString::fromLocal8Bit(argv[2])), DocStyle::ManPage), DocStyle::ManPage);
            Write(QString::fromLocal8Bit(argv[3]), page);
            return 0;
        }
        if ((mode == QLatin1String("manual") || mode == QLatin1String("help")) && argc == 3) {
            const QString path = QString::fromLocal8Bit(argv[2]);
            const QString text = Read(path);
            const QString made = mode == QLatin1String("help") ? WithCommandList(text, DocStyle::Html)
                                                               : WithOptionLists(text, DocStyle::Markdown);
            if (made != text)
                Write(path, made);
            return 0;
        }
    } catch (const JobError& e) {
        std::fprintf(stderr, "cubiform-option-docs: %s\n", e.Text().toLocal8Bit().constData());
        return 1;
    }
    std::fprintf(stderr, "usage: cubiform-option-docs man TEMPLATE OUTPUT | manual FILE | help FILE\n");
    return 2;
}
