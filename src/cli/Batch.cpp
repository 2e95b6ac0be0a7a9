#include "cli/Batch.h"

#include "cli/BatchJobFiles.h"
#include "cli/BatchManifest.h"
#include "cli/BatchProgress.h"
#include "cli/BatchState.h"
#include "engine/JobError.h"
#include "engine/CommandOptions.h"
#include "engine/OptionValues.h"
#include "engine/OutputGuard.h"
#include "engine/RenderSession.h"
#include "engine/RowJob.h"
#include "cli/StopOnSignals.h"
#include "concurrency/ParallelWork.h"
#include "formats/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <mutex>

#include <unistd.h>

namespace {

int JobCount(const RenderOptionEntry& entry, const QString& option, const QString& value)
{
    const OptionRange r = *entry.Range;
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < r.Min || n > r.Max)
        throw UsageError(
            QStringLiteral("%1 %2: not a number of workers %3..%4").arg(option, value).arg(r.Min).arg(r.Max));
    return n;
}

struct Failure {
    int Line;
    QString Output;
    QString Reason;
};

// One CSV field, quoted when it has to be.
QString CsvField(const QString& text)
{
    static const QRegularExpression special(QStringLiteral("[\",\r\n]|^\\s|\\s$"));
    if (!special.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void WriteReport(const QString& path, std::vector<Failure> failures)
{
    std::sort(failures.begin(), failures.end(), [](const Failure& a, const Failure& b) { return a.Line < b.Line; });
    QString text = QStringLiteral("line,output,reason\r\n");
    for (const Failure& f : failures)
        text += QStringLiteral("%1,%2,%3\r\n").arg(f.Line).arg(CsvField(f.Output), CsvField(f.Reason));
    try {
        // Its folder is made as the pictures' are, and before the work, not after.
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteFileAtomically(path, text.toUtf8());
    } catch (const ImageError& e) {
        throw BadInput(QString::fromStdString(e.what()));
    }
}

class BatchRun {
public:
    BatchRun(std::vector<BatchJob> jobs, const BatchOptions& options, BatchProgress& progress)
        : jobs_(std::move(jobs)), options_(options), progress_(progress)
    {
        // The rows' own cover files, as the session names them. A project
        // template's covers are not counted: they stay with the others.
        for (const BatchJob& job : jobs_)
            if (job.Options)
                for (const std::optional<QString>& cover : job.Options->Covers)
                    if (cover && !cover->isEmpty())
                        ++coverUses_[QFileInfo(*cover).absoluteFilePath()];
    }

    void Run(int workers)
    {
        // One worker on this thread, the others on the pool's; the workers
        // there are share the rows when not all of them could start.
        ParallelRows(workers, workers, [this](int first, int end) {
            for (int i = first; i < end; ++i)
                Work();
        });
    }

    // Whatever is recorded and not yet saved in the folders' state files.
    void SaveState() { state_.Save(); }

    int NotStarted() const { return static_cast<int>(jobs_.size()) - std::min<int>(next_, static_cast<int>(jobs_.size())); }
    const std::vector<Failure>& Failures() const { return failures_; }

private:
    void Work()
    {
        // One core's work: -j N keeps N cores busy, and -j 1 leaves the
        // others to the user.
        const OneThreadHere oneThread;
        RenderSession session; // one context and one set of covers for all its rows
        // A catalogue's fronts are mostly each used once: kept, they would
        // only fill the memory of every worker.
        session.SetUsedOnce([this](const QString& file) {
            const auto it = coverUses_.find(file);
            return it != coverUses_.end() && it->second == 1;
        });
        while (!stop_) {
            if (const int signal = StopOnSignals::Caught()) {
                if (!stopNoted_.exchange(true))
                    progress_.Note(QStringLiteral("stopping after %1: finishing the rows being drawn "
                                                  "(press Ctrl-C again to quit at once)")
                                       .arg(StopOnSignals::Name(signal)));
                break;
            }
            const int index = next_++;
            if (index >= static_cast<int>(jobs_.size()))
                break;
            const BatchJob& job = jobs_[static_cast<std::size_t>(index)];
            std::optional<Drawn> drawn;
            const std::optional<QString> failure = Attempt([&] { drawn = Draw(job, session); });
            if (failure || !drawn->Picture) {
                Report(job, failure ? RowOutcome::Failed : RowOutcome::Skipped, failure.value_or(QString()));
                continue;
            }
            Write(job, std::move(*drawn));
        }
    }

    // What a row drew, or no picture when it was skipped.
    struct Drawn {
        std::optional<QImage> Picture;
        const RenderOptions* Options = nullptr;
        QString Fingerprint;
    };

    // The reason a step failed, in the words the row's report gives it.
    static std::optional<QString> Attempt(const std::function<void()>& step)
    {
        try {
            step();
            return std::nullopt;
        } catch (const JobError& e) {
            return e.Text();
        } catch (const std::bad_alloc&) {
            return QStringLiteral("not enough memory");
        } catch (const std::exception& e) {
            return QString::fromLocal8Bit(e.what());
        }
    }

    void Write(const BatchJob& job, Drawn drawn)
    {
        const RenderOptions& options = *drawn.Options;
        const std::optional<QString> failure = Attempt([&] {
            // Recorded before the picture takes its name: a resume never
            // finds a picture with an older picture's record.
            WriteRow(*drawn.Picture, options, [&](const QString& written) {
                state_.Record(options.Output, written, drawn.Fingerprint);
            });
        });
        drawn.Picture.reset();
        Report(job, failure ? RowOutcome::Failed : RowOutcome::Done, failure.value_or(QString()));
    }

    void Report(const BatchJob& job, RowOutcome outcome, const QString& reason)
    {
        if (outcome == RowOutcome::Failed) {
            const std::lock_guard lock(mutex_);
            failures_.push_back({job.Line, job.Output, reason});
            if (options_.FailFast)
                stop_ = true;
        }
        progress_.Finished(job.Line, job.Output, outcome, reason);
    }

    Drawn Draw(const BatchJob& job, RenderSession& session)
    {
        if (!job.Options)
            throw BadInput(job.Error);
        Drawn drawn;
        drawn.Options = &*job.Options;
        drawn.Picture = DrawRow(*job.Options, session, [&](const std::vector<JobFile>& inputs) {
            drawn.Fingerprint = state_.Fingerprint(job.Arguments, inputs);
            return options_.SkipExisting && state_.UpToDate(job.Options->Output, drawn.Fingerprint);
        });
        return drawn;
    }

    const std::vector<BatchJob> jobs_;
    std::map<QString, int> coverUses_;
    const BatchOptions& options_;
    BatchProgress& progress_;
    std::atomic<int> next_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> stopNoted_{false};
    std::mutex mutex_;
    std::vector<Failure> failures_;
    BatchState state_;
};

// A batch killed outright (SIGKILL, out of memory) can leave a hidden
// temporary file beside an output (or its folder's state file); the next run
// over the same outputs clears those no running writer holds.
int ClearAbandonedTemporaries(const std::vector<BatchJob>& jobs)
{
    std::map<QString, QSet<QString>> names; // folder -> output file names
    for (const BatchJob& job : jobs)
        if (job.Options && !job.Options->Output.isEmpty()) {
            const QFileInfo output(job.Options->Output);
            QSet<QString>& files = names[output.absolutePath()];
            files.insert(output.fileName());
            files.insert(QLatin1String(BatchStateName));
        }
    int removed = 0;
    for (const auto& [folder, files] : names)
        removed += RemoveAbandonedTemporaries(folder, files);
    return removed;
}

} // namespace

BatchOptions ParseBatchArguments(const QStringList& arguments)
{
    BatchOptions o;
    const auto take = [&](const RenderOptionEntry& entry, const QString& arg, const std::optional<QString>& v) {
        const QLatin1String name(entry.Name);
        if (name == QLatin1String("jobs")) {
            o.Jobs = JobCount(entry, arg, *v);
        } else if (name == QLatin1String("fail-fast")) {
            o.FailFast = true;
        } else if (name == QLatin1String("skip-existing")) {
            o.SkipExisting = true;
        } else if (name == QLatin1String("report")) {
            o.Report = NamedFile(arg, *v);
        } else if (name == QLatin1String("shard")) {
            static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})/(\\d{1,6})$"));
            const QRegularExpressionMatch m = pattern.match(*v);
            if (!m.hasMatch() || m.captured(2).toInt() < 1 || m.captured(1).toInt() < 1 ||
                m.captured(1).toInt() > m.captured(2).toInt())
                throw UsageError(QStringLiteral("--shard %1: not K/N with 1 <= K <= N").arg(*v));
            o.Shard = m.captured(1).toInt();
            o.Shards = m.captured(2).toInt();
        }
    };
    ReadOptions(arguments, Entries(OwnOptionTable(ForBatch)), take, [&](qsizetype& i) {
        const QString& arg = arguments[i];
        RefuseUnknownOption(arg);
        if (!o.Manifest.isEmpty())
            throw UsageError(QStringLiteral("batch takes one manifest; %1 is one too many").arg(arg));
        o.Manifest = arg;
        if (o.Manifest.isEmpty())
            throw UsageError(QStringLiteral("the manifest file name is empty"));
    });
    if (o.Manifest.isEmpty())
        throw UsageError(QStringLiteral("batch needs a manifest (.csv or .jsonl)"));
    return o;
}

int RunBatch(const QStringList& arguments, std::FILE* err, std::optional<bool> terminal)
{
    const BatchOptions options = ParseBatchArguments(arguments);
    // Everything about the manifest is known before the first row is drawn.
    const Manifest manifest = ReadManifest(options.Manifest);
    std::vector<BatchJob> all;
    try {
        all = PrepareJobs(manifest);
    } catch (const JobError& e) {
        throw BadInput(QStringLiteral("%1: %2").arg(options.Manifest, e.Text()));
    }
    // The whole manifest, not only this shard: the others run at the same time.
    // Rows over other rows' inputs or the manifest, the report over any of them.
    RefuseUnsafeOutputs(BatchJobFiles(all, options.Manifest, options.Report));
    if (!options.Report.isEmpty() && QFileInfo(options.Report).isDir())
        throw BadInput(QStringLiteral("%1: is a folder (--report names the file to write)")
                           .arg(QDir::toNativeSeparators(options.Report)));
    std::vector<BatchJob> jobs;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (InShard(static_cast<int>(i), options.Shard, options.Shards))
            jobs.push_back(std::move(all[i]));

    const int workers = std::max(1, std::min<int>(options.Jobs > 0 ? options.Jobs : QThread::idealThreadCount(),
                                                  static_cast<int>(jobs.size())));
    const int cleared = ClearAbandonedTemporaries(jobs);
    BatchProgress progress(err, terminal.value_or(isatty(fileno(err)) == 1), static_cast<int>(jobs.size()));
    if (cleared > 0)
        progress.Note(QStringLiteral("removed %1 temporary file(s) an interrupted batch left beside the outputs")
                          .arg(cleared));
    BatchRun run(std::move(jobs), options, progress);
    const StopOnSignals stopping;
    run.Run(workers);
    run.SaveState();
    // Stopped with rows left (a signal after the last row began changes nothing).
    const int signal = run.NotStarted() > 0 ? StopOnSignals::Caught() : 0;
    if (signal)
        progress.Note(QStringLiteral("stopped after %1; run the same command with --skip-existing to go on")
                          .arg(StopOnSignals::Name(signal)));
    progress.Summary(run.NotStarted());
    if (!options.Report.isEmpty())
        WriteReport(options.Report, run.Failures());
    if (signal)
        return 128 + signal; // as the shell reports a command a signal ended
    return run.Failures().empty() ? 0 : ExitBadInput;
}
