#pragma once
// One row of a batch as a job: its box (or bundle) opened, its output
// guarded, drawn by the document's engine with the worker's session, then
// written. The face keeps the manifest, the workers and the resume state.
#include "engine/RenderOptions.h"
#include "services/JobFiles.h"

#include <QImage>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class RenderSession;

// Told the row's inputs once its output is guarded; true skips the row.
using RowSkip = std::function<bool(const std::vector<JobFile>& inputs)>;

// The row's picture, drawn with `session`; nothing when `skip` said so. A
// ray-traced row runs to its end: a batch stops between rows. JobError for
// bad input.
std::optional<QImage> DrawRow(const RenderOptions& options, RenderSession& session, const RowSkip& skip = {});

// The picture written to options.Output, its folder made first; `written`
// is told the finished file before it takes the output's name.
void WriteRow(const QImage& picture, const RenderOptions& options,
              const std::function<void(const QString& written)>& written = {});
