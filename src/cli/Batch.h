#pragma once
// "cubiform batch MANIFEST": many box shots from one manifest, on worker
// threads that each keep their own GL context for all their rows.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

struct BatchOptions {
    QString Manifest;
    int Jobs = 0; // 0: one per core
    bool FailFast = false;
    bool SkipExisting = false;
    QString Report; // --report FILE.csv
    int Shard = 1;  // --shard K/N, K from 1
    int Shards = 1;
};

// Throws JobError (wrong use) for an unknown option or a bad value.
BatchOptions ParseBatchArguments(const QStringList& arguments);

// Whether the row at `index` (from 0, in manifest order) belongs to the shard.
inline bool InShard(int index, int shard, int shards) { return index % shards == shard - 1; }

// Exit status: 0 every row done or skipped, 1 a row failed or the manifest
// is unusable, 128 + the signal when SIGINT or SIGTERM stopped it between
// rows (the rows being drawn are finished first). Progress and the summary go to `err`; `terminal` chooses the
// progress bar (default: whether `err` is a terminal). Throws
// JobError for wrong use and for a manifest that cannot be run.
int RunBatch(const QStringList& arguments, std::FILE* err, std::optional<bool> terminal = {});
