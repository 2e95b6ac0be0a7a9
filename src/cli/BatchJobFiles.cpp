#include "cli/BatchJobFiles.h"

#include "cli/BatchManifest.h"
#include "engine/OutputGuard.h"

JobFiles BatchJobFiles(const std::vector<BatchJob>& jobs, const QString& manifest, const QString& report)
{
    JobFiles job;
    job.Source = manifest;
    job.Reads(manifest, QStringLiteral("manifest"));
    ProjectCoversRead projects;
    for (const BatchJob& row : jobs)
        if (row.Options) {
            AddOptionInputs(job, *row.Options, row.Line, projects);
            job.Writes(row.Options->Output, QStringLiteral("picture"), row.Line);
        }
    job.Writes(report, QStringLiteral("report"));
    return job;
}
