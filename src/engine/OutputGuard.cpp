#include "engine/OutputGuard.h"

#include "engine/HeadlessBox.h"
#include "render/CoverImage.h"

#include <optional>

namespace {

const char* const CoverRoles[CoverSourceCount] = {"front cover", "side cover",  "top cover",
                                                  "back cover",  "right cover", "bottom cover"};

std::optional<ProjectCovers> CoversOfProject(const QString& project, ProjectCoversRead& cache)
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
    } catch (const JobError&) {
        // An unreadable project fails its rows when they are drawn.
    }
    return cache.emplace(project, covers).first->second;
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

void AddOptionInputs(JobFiles& job, const RenderOptions& options, int line, ProjectCoversRead& projects)
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
