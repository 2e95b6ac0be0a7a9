#include "cli/OutputGuard.h"

#include "cli/BatchManifest.h"
#include "cli/HeadlessBox.h"
#include "render/CoverImage.h"

#include <array>
#include <map>
#include <optional>

namespace {

const char* const CoverRoles[CoverSourceCount] = {"front cover", "side cover",  "top cover",
                                                  "back cover",  "right cover", "bottom cover"};

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

void AddRowInputs(JobFiles& job, const RenderOptions& options, int line,
                  std::map<QString, std::optional<ProjectCovers>>& projects)
{
    std::optional<ProjectCovers> fromProject;
    if (!options.Project.isEmpty()) {
        job.Reads(options.Project, QStringLiteral("project"), line);
        fromProject = CoversOfProject(options.Project, projects);
    }
    for (std::size_t i = 0; i < std::size(CoverRoles); ++i)
        job.Reads(options.Covers[i] ? *options.Covers[i] : fromProject ? (*fromProject)[i] : QString(),
                  QLatin1String(CoverRoles[i]), line);
    // A bundle reads every one of its projects and their covers.
    for (const QString& project : options.Bundle) {
        job.Reads(project, QStringLiteral("project"), line);
        if (const std::optional<ProjectCovers> covers = CoversOfProject(project, projects))
            for (std::size_t i = 0; i < covers->size(); ++i)
                job.Reads((*covers)[i], QLatin1String(CoverRoles[i]), line);
    }
}

} // namespace

std::vector<JobFile> DocumentInputs(const BoxDocument& document, const QString& project)
{
    JobFiles job;
    job.Reads(project, QStringLiteral("project"));
    for (int i = 0; i < CoverSourceCount; ++i)
        job.Reads(CoverFile(document.Cover(i).Path, document.Cover(i).Folder), QLatin1String(CoverRoles[i]));
    return job.Inputs;
}

std::vector<JobFile> JobInputs(const HeadlessBox& box, const RenderOptions& options)
{
    return DocumentInputs(box.Document, options.Project);
}

JobFiles JobOf(const std::vector<JobFile>& inputs, const std::vector<std::pair<QString, QString>>& outputs)
{
    JobFiles job;
    job.Inputs = inputs;
    for (const auto& [role, path] : outputs)
        job.Writes(path, role);
    return job;
}

void RefuseUnsafeOutputs(const JobFiles& job)
{
    if (const std::optional<QString> refusal = OutputRefusal(job))
        throw BadInput(*refusal);
}

JobFiles BatchJobFiles(const std::vector<BatchJob>& jobs, const QString& manifest, const QString& report)
{
    JobFiles job;
    job.Source = manifest;
    job.Reads(manifest, QStringLiteral("manifest"));
    std::map<QString, std::optional<ProjectCovers>> projects;
    for (const BatchJob& row : jobs)
        if (row.Options) {
            AddRowInputs(job, *row.Options, row.Line, projects);
            job.Writes(row.Options->Output, QStringLiteral("picture"), row.Line);
        }
    job.Writes(report, QStringLiteral("report"));
    return job;
}
