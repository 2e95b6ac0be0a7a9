#include "services/JobFiles.h"

#include "services/FileIdentity.h"

#include <QDir>
#include <QHash>

namespace {

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// "the picture" of the job, "line 3's picture" of a row.
QString Owned(const JobFile& file)
{
    return file.Line ? QStringLiteral("line %1's %2").arg(file.Line).arg(file.Role)
                     : QStringLiteral("the ") + file.Role;
}

QString OverInput(const JobFile& out, const JobFile& in)
{
    if (out.Line && in.Line)
        return QStringLiteral("line %1 writes %2, which line %3 reads as its %4; "
                              "a row may not draw over another row's input")
            .arg(out.Line)
            .arg(Shown(out.Path))
            .arg(in.Line)
            .arg(in.Role);
    const QString subject = out.Line ? QStringLiteral("line %1 writes %2, which").arg(out.Line).arg(Shown(out.Path))
                                     : Shown(out.Path) + QLatin1Char(':');
    const QString reader = in.Line ? QStringLiteral(" that line %1 reads").arg(in.Line) : QString();
    return QStringLiteral("%1 is the %2 %3%4 (the same file); write to another name")
        .arg(subject, in.Role, Shown(in.Path), reader);
}

QString OverOutput(const JobFile& out, const JobFile& earlier)
{
    return QStringLiteral("%1: %2 and %3 %4 are the same file; give each output its own name")
        .arg(Shown(out.Path), Owned(out), Owned(earlier), Shown(earlier.Path));
}

} // namespace

void JobFiles::Reads(const QString& path, const QString& role, int line)
{
    if (!path.isEmpty())
        Inputs.push_back({path, role, line});
}

void JobFiles::Writes(const QString& path, const QString& role, int line)
{
    if (!path.isEmpty())
        Outputs.push_back({path, role, line});
}

std::optional<QString> OutputRefusal(const JobFiles& job)
{
    // A row's refusal says which manifest the row is in.
    const auto refused = [&job](const JobFile& out, const QString& text) {
        return job.Source.isEmpty() || !out.Line ? text : Shown(job.Source) + QStringLiteral(": ") + text;
    };
    QHash<QString, std::vector<const JobFile*>> read; // file key -> its readers
    for (const JobFile& in : job.Inputs)
        read[FileIdentity::Of(in.Path).Key()].push_back(&in);
    QHash<QString, const JobFile*> written;
    for (const JobFile& out : job.Outputs) {
        const QString key = FileIdentity::Of(out.Path).Key();
        for (const JobFile* in : read.value(key))
            if (!out.Line || out.Line != in->Line)
                return refused(out, OverInput(out, *in));
        const auto earlier = written.constFind(key);
        if (earlier != written.constEnd() && (!out.Line || out.Line != (*earlier)->Line))
            return refused(out, OverOutput(out, **earlier));
        written.insert(key, &out);
    }
    return std::nullopt;
}
