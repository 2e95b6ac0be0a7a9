#pragma once
// A "Save image as" picture drawn off screen the command line's way
// (RenderSession's drawing or the ray tracer, WritePicture's files): the
// same bytes as `cubiform render` for the same project and options (the ray
// tracer's default seed), at any size the command line takes. It runs beside the window, stops between its steps
// when asked, and a stopped or failed shot leaves no file behind.
#include "engine/RenderOptions.h"
#include "document/BoxDocument.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class RunAside;

struct ShotOrder {
    BoxDocument Document; // a copy: the window goes on meanwhile
    QString ProjectFile;  // the project shown, if any: never written over
    QString Path;
    OutputFormat Format = OutputFormat::Png;
    int Quality = DefaultJpegQuality;
    QSize Size;
    int Samples = 1;
    bool Transparent = false; // kept only by PNG and TGA
};

// Thrown by MakeShot when it was stopped.
struct ShotStopped {};

// Throws BadInput naming both files when the picture would be written over
// one of the covers or the project, as the command line refuses it.
void RefuseShotOverInputs(const ShotOrder& order);

// The ray tracer's picture so far, handed on every few passes.
using ShotPreview = std::function<void(const QImage& picture)>;

// Draws and writes the picture on the calling thread; `note` is told what
// it does as each step begins. Once `stop` is set it ends at its next step
// (the ray tracer within a row) with ShotStopped, before the file takes its
// name. Throws JobError for every other failure. The document's
// engine says which draws it; `preview` sees the ray tracer's passes.
void MakeShot(const ShotOrder& order, const std::atomic<bool>& stop,
              const std::function<void(const QString& note)>& note, const ShotPreview& preview = {});

// One shot run aside. Its signals come on the thread that made it; deleting
// it stops the work and waits for it.
class ShotJob final : public QObject {
    Q_OBJECT
public:
    ShotJob(ShotOrder order, QObject* parent);
    ~ShotJob() override;

    // The work ends at its next step; the job then deletes itself.
    void Stop();
    bool Running() const { return running_; }

Q_SIGNALS:
    void Note(const QString& text);
    // The ray-traced picture so far (none for the raster).
    void Preview(const QImage& picture);
    // Once: written, or the reason it was not (empty when stopped).
    void Finished(bool written, const QString& problem);

private:
    void Done(bool written, const QString& problem);

    std::shared_ptr<std::atomic<bool>> stop_;
    std::unique_ptr<RunAside> work_;
    bool running_ = true;
};
