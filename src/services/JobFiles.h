#pragma once
// The files one job reads and writes, and the one guard every face asks
// before any work: no output may be one of the job's inputs (a shot over its
// own cover loses the artwork) or another of its outputs (a project saved
// over the picture just written). Files are compared as FileIdentity does:
// by device and inode where they exist, else by the path the system would
// follow. A batch is one job: each row's files carry the row's line.
#include <QString>

#include <optional>
#include <vector>

struct JobFile {
    QString Path;
    QString Role; // "front cover", "project", "picture", "report"...
    int Line = 0; // the manifest line of the row it belongs to; 0: the whole job's
};

struct JobFiles {
    QString Source; // a manifest whose rows make the job; prefixes the refusal
    std::vector<JobFile> Inputs;
    std::vector<JobFile> Outputs;

    void Reads(const QString& path, const QString& role, int line = 0);
    // An empty path (an output not asked for) is not written.
    void Writes(const QString& path, const QString& role, int line = 0);
};

// Why the job may not run, naming both files; nothing when it may. Files of
// one row are left to that row's own job, drawn as the row is.
std::optional<QString> OutputRefusal(const JobFiles& job);
