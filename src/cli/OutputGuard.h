#pragma once
// The jobs of the command line described for the one output guard
// (services/JobFiles.h): what a box, a bundle and a batch read.
#include "cli/CommandLineError.h"
#include "services/JobFiles.h"

#include <QString>

#include <vector>

class BoxDocument;
class HeadlessBox;
struct BatchJob;
struct RenderOptions;

// The project (when there is one) and the cover files of a document.
std::vector<JobFile> DocumentInputs(const BoxDocument& document, const QString& project);
// The project and the cover files of a box made ready to draw.
std::vector<JobFile> JobInputs(const HeadlessBox& box, const RenderOptions& options);

// A job reading `inputs` and writing `outputs` (role, path; empty paths are
// not written).
JobFiles JobOf(const std::vector<JobFile>& inputs, const std::vector<std::pair<QString, QString>>& outputs);

// Throws BadInput with the guard's refusal.
void RefuseUnsafeOutputs(const JobFiles& job);

// A whole batch: the manifest, the files of every row that can be drawn
// (their covers read through their projects, each project read once) and
// the report, written last.
JobFiles BatchJobFiles(const std::vector<BatchJob>& jobs, const QString& manifest, const QString& report);
