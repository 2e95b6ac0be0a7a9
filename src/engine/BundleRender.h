#pragma once
// "render --bundle A.pcf B.pcf ...": several projects' boxes in one picture
// (BoxGroup.h). The first project, with the command's options, gives the
// view, looks, background, fog and output size; every box keeps its own
// kind, size, shape and covers, so the options that would change one box
// only are refused.
#include "engine/HeadlessBox.h"
#include "engine/OutputGuard.h"
#include "engine/RenderOptions.h"
#include "render/BoxGroup.h"

#include <QImage>

#include <cstdio>
#include <memory>
#include <vector>

class RenderSession;
class PhaseClock;

// UsageError for a bundle of too few or too many projects, a box option
// with a bundle, or --spacing with a stack. Part of ParseRenderArguments.
void CheckBundleOptions(const RenderOptions& options);
// UsageError for --arrange or --spacing without a bundle: the commands'
// check, as the parser reads every option alone.
void RefuseArrangementWithoutBundle(const RenderOptions& options);

// The bundle's boxes, read and checked (JobError naming the project
// that is missing or malformed), the options applied to the first.
std::vector<std::unique_ptr<HeadlessBox>> OpenBundle(const RenderOptions& options);

// Every project and cover the bundle reads, for the output guard.
std::vector<JobFile> BundleInputs(const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                                   const RenderOptions& options);

GroupArrangement ArrangementOf(const RenderOptions& options);
float SpacingOf(const RenderOptions& options);

// The picture of the opened bundle as `session` draws it.
QImage RenderOpenedBundle(RenderSession& session, const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                          const RenderOptions& options, PhaseClock& clock);
