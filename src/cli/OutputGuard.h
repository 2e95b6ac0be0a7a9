#pragma once
// Refusing outputs that are inputs: a box shot written over its own cover
// (or a project over the project it was read from) loses the artwork, and
// a batch in which one row writes what another reads would draw something
// different with each number of workers. Checked before anything is drawn.
#include "cli/CommandLineError.h"

#include <QString>
#include <QStringList>

#include <vector>

class HeadlessBox;
struct BatchJob;
struct RenderOptions;

// A file a job reads, with what it is for ("front cover", "project").
struct JobInput {
    QString Path;
    QString Role;
};

// The project and the cover files of a box made ready to draw.
std::vector<JobInput> JobInputs(const HeadlessBox& box, const RenderOptions& options);

// Throws BadInput naming both files when one of `outputs` is one of `inputs`.
void RefuseOutputsOverInputs(const QStringList& outputs, const std::vector<JobInput>& inputs);

// Throws BadInput naming both lines when one row's output is another row's
// project or cover (the row's own are left to the row). `manifest` prefixes
// the message; rows that cannot be drawn anyway are passed over.
void RefuseRowsReadingOtherRowsOutputs(const std::vector<BatchJob>& jobs, const QString& manifest);
