#include "cli/OutputGuard.h"

#include "cli/BatchManifest.h"
#include "cli/HeadlessBox.h"
#include "services/FileIdentity.h"

#include <QDir>

#include <array>
#include <map>
#include <optional>
#include <QHash>

namespace {

const char* const CoverRoles[CoverSourceCount] = {"front cover", "side cover",  "top cover",
                                                  "back cover",  "right cover", "bottom cover"};

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// The covers a project names, per slot, read once for all rows using it.
using ProjectCovers = std::array<QString, CoverSourceCount>;

std::optional<ProjectCovers> CoversOfProject(const QString& project, std::map<QString, std::optional<ProjectCovers>>& cache)
{
    const auto it = cache.find(project);
    if (it != cache.end())
        return it->second;
    std::optional<ProjectCovers> covers;
    try {
        HeadlessBox box;
        box.OpenProject(ReadProject(project));
        covers.emplace();
        for (std::size_t i = 0; i < covers->size(); ++i)
            (*covers)[i] = box.CoverFileOf(static_cast<int>(i));
    } catch (const CommandLineError&) {
        // An unreadable project fails its rows when they are drawn.
    }
    return cache.emplace(project, covers).first->second;
}

std::vector<JobInput> RowInputs(const RenderOptions& options, std::map<QString, std::optional<ProjectCovers>>& projects)
{
    std::vector<JobInput> inputs;
    std::optional<ProjectCovers> fromProject;
    if (!options.Project.isEmpty()) {
        inputs.push_back({options.Project, QStringLiteral("project")});
        fromProject = CoversOfProject(options.Project, projects);
    }
    for (std::size_t i = 0; i < std::size(CoverRoles); ++i) {
        const QString file = options.Covers[i] ? *options.Covers[i] : fromProject ? (*fromProject)[i] : QString();
        if (!file.isEmpty())
            inputs.push_back({file, QLatin1String(CoverRoles[i])});
    }
    // A bundle reads every one of its projects and their covers.
    for (const QString& project : options.Bundle) {
        inputs.push_back({project, QStringLiteral("project")});
        if (const std::optional<ProjectCovers> covers = CoversOfProject(project, projects))
            for (std::size_t i = 0; i < covers->size(); ++i)
                if (!(*covers)[i].isEmpty())
                    inputs.push_back({(*covers)[i], QLatin1String(CoverRoles[i])});
    }
    return inputs;
}

} // namespace

std::vector<JobInput> JobInputs(const HeadlessBox& box, const RenderOptions& options)
{
    std::vector<JobInput> inputs;
    if (!options.Project.isEmpty())
        inputs.push_back({options.Project, QStringLiteral("project")});
    for (int i = 0; i < CoverSourceCount; ++i)
        if (const QString file = box.CoverFileOf(i); !file.isEmpty())
            inputs.push_back({file, QLatin1String(CoverRoles[i])});
    return inputs;
}

void RefuseOutputsOverInputs(const QStringList& outputs, const std::vector<JobInput>& inputs)
{
    std::vector<FileIdentity> read;
    read.reserve(inputs.size());
    for (const JobInput& input : inputs)
        read.push_back(FileIdentity::Of(input.Path));
    for (const QString& output : outputs) {
        if (output.isEmpty())
            continue;
        const FileIdentity written = FileIdentity::Of(output);
        for (std::size_t i = 0; i < inputs.size(); ++i)
            if (read[i] == written)
                throw BadInput(QStringLiteral("%1: is the %2 %3 (the same file); write to another name")
                                   .arg(Shown(output), inputs[i].Role, Shown(inputs[i].Path)));
    }
}

void RefuseRowsReadingOtherRowsOutputs(const std::vector<BatchJob>& jobs, const QString& manifest)
{
    struct Reader {
        int Line;
        JobInput Input;
    };
    QHash<QString, std::vector<Reader>> readers; // file key -> the rows reading it
    std::map<QString, std::optional<ProjectCovers>> projects;
    for (const BatchJob& job : jobs)
        if (job.Options)
            for (const JobInput& input : RowInputs(*job.Options, projects))
                readers[FileIdentity::Of(input.Path).Key()].push_back({job.Line, input});
    for (const BatchJob& job : jobs) {
        if (!job.Options)
            continue;
        const auto it = readers.find(FileIdentity::Of(job.Options->Output).Key());
        if (it == readers.end())
            continue;
        for (const Reader& reader : *it)
            if (reader.Line != job.Line)
                throw BadInput(QStringLiteral("%1: line %2 writes %3, which line %4 reads as its %5; "
                                              "a row may not draw over another row's input")
                                   .arg(Shown(manifest))
                                   .arg(job.Line)
                                   .arg(Shown(job.Options->Output))
                                   .arg(reader.Line)
                                   .arg(reader.Input.Role));
    }
}
