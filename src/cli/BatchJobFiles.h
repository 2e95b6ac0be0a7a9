#pragma once
// A whole batch as one job for the output guard.
#include "services/JobFiles.h"

#include <QString>

#include <vector>

struct BatchJob;

// The manifest, the files of every row that can be drawn (their covers read
// through their projects, each project read once) and the report, written last.
JobFiles BatchJobFiles(const std::vector<BatchJob>& jobs, const QString& manifest, const QString& report);
