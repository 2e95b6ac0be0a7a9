#pragma once
// The jobs of the engine described for the one output guard
// (services/JobFiles.h): what a box, a bundle and a row read.
#include "engine/JobError.h"
#include "document/BoxDocument.h"
#include "services/JobFiles.h"

#include <QString>

#include <array>
#include <map>
#include <optional>
#include <vector>

class BoxDocument;
class HeadlessBox;
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

// The covers a project names, per slot; each project read once however many
// jobs name it (nothing for one that cannot be read: its jobs fail alone).
using ProjectCovers = std::array<QString, CoverSourceCount>;
using ProjectCoversRead = std::map<QString, std::optional<ProjectCovers>>;

// What the options read (their project, covers, a bundle's projects and
// their covers), marked with a manifest's `line`.
void AddOptionInputs(JobFiles& job, const RenderOptions& options, int line, ProjectCoversRead& projects);
