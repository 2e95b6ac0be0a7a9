#pragma once
// "Save image as": previews the captured result, lets the user pick the
// output folder, the file's name (the clock's by default) and the format,
// and writes it. The size is checked against the engine's limits as typed.
// The captured result is written as it is; another size, PNG, TGA or a
// transparent background is drawn off screen as the command line draws it.
#include "document/BoxDocument.h"
#include "engine/PictureLimits.h"

#include <QDateTime>
#include <QDialog>
#include <QImage>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class Prompts;
class SettingsStore;
class ShotJob;

class SaveImageDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormatJpeg = 0;
    static constexpr int FormatBmp = 1;
    static constexpr int FormatPng = 2;
    static constexpr int FormatTga = 3;
    // The largest side the off-screen drawing takes, as on the command line.
    static constexpr int MaxSide = 16384;

    SaveImageDialog(SettingsStore& store, Prompts& prompts, QWidget* parent = nullptr);
    ~SaveImageDialog() override;

    // Borrowed: the caller keeps the bitmap alive while the dialog runs.
    void SetResultBitmap(const QImage* bitmap) { bitmap_ = bitmap; }
    void SetFolder(const QString& folder);
    // The box the result shows (a copy is kept) and the project it came
    // from: with it the dialog offers every format and size, drawn off
    // screen; the picture is never written over a cover or the project.
    void SetDocument(const BoxDocument& document, const QString& projectFile);
    QString FolderText() const;
    // The file OK writes: the folder and the name, with the format's
    // extension; empty when no name is typed.
    QString TargetPath() const;
    // What the off-screen drawing may take: the GL's longest side (0: not
    // known) and the ray tracer's memory (0: not known).
    void SetDrawingLimits(int glMaxSide, std::int64_t rayMemory);
    // The largest picture the chosen engine and samples draw.
    PictureLimit Limit() const;
    // The file really written by OK; empty when nothing was written.
    QString WrittenPath() const { return writtenPath_; }
    bool WasShown() const { return shown_; }

    // Draws the result anew with another anti-aliasing sample count; false
    // when the GL could not. Without it the dialog offers no sample choice.
    std::function<bool(int samples, QImage& result)> Redraw;
    // The sample count the given result was drawn with.
    void SetSamples(int samples);
    // The sample count of the picture shown, the one OK writes.
    int Samples() const { return samples_; }
    // The engine OK draws with: the document's at first, then the user's
    // choice (the gloss stays the document's). Without a document, the raster.
    BoxEngine Engine() const;

    // The clock that names the files (tests set a fixed one).
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

    QWidget* folderRow = nullptr;
    QWidget* setPanel = nullptr;
    QLineEdit* folderEdit = nullptr;
    QToolButton* setFolderButton = nullptr; // "Set"
    QWidget* nameRow = nullptr;
    QLineEdit* nameEdit = nullptr; // the file's name; its extension follows the format
    QScrollArea* previewArea = nullptr;
    QLabel* preview = nullptr;
    QComboBox* formatBox = nullptr;
    QLabel* qualityLabel = nullptr;
    QSpinBox* qualityBox = nullptr;
    QCheckBox* transparentBox = nullptr; // PNG and TGA
    QLabel* sizeLabel = nullptr;
    QSpinBox* widthBox = nullptr; // the output's pixels; the result's by default
    QSpinBox* heightBox = nullptr;
    QLabel* progressLabel = nullptr; // what the off-screen drawing does
    QLabel* limitLabel = nullptr;    // the largest size, or why the typed one is refused
    QLabel* samplesLabel = nullptr;
    QComboBox* samplesBox = nullptr; // the items are LookLimits::SampleCounts
    QCheckBox* rayBox = nullptr;   // "Ray traced": drawn off screen by the ray tracer
    QLabel* passesLabel = nullptr;
    QSpinBox* passesBox = nullptr; // its passes, EngineLimits' range
    QCheckBox* denoiseBox = nullptr; // its picture denoised
    QLabel* apertureLabel = nullptr;
    QComboBox* apertureBox = nullptr; // "All sharp" (0) or the f-number the lens is open at
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

    void FormatChosen();
    void SamplesChosen();
    void EngineChosen();
    void SetFolderClicked();
    void OkClicked();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // SaveImageDialogEngine.cpp: the ray tracer's row and its preview.
    QLayout* MakeEngineRow(QWidget* parent);
    // The engine row's widgets, shown and hidden together.
    QList<QWidget*> EngineWidgets() const;
    void ShowEngine();
    void ShowPicture(const QImage& picture);
    // The ray tracer's picture so far, made small enough to be seen whole.
    void ShowPassPicture(const QImage& picture);

    void PrepareShow();
    void ShowBitmap();
    // A result larger than the view opens at its middle, not its top left.
    void CentrePreview();
    void FitFolderField();
    void LoadPreferences();
    // False (and the reason in *problem) when the store refused a value.
    bool StorePreferences(QString* problem);
    // OK is there whenever the size can be drawn and nothing is drawing.
    void UpdateOk();
    // Empty when the typed size can be drawn, else why not.
    QString SizeProblem() const;
    // The name's extension becomes the chosen format's.
    void FollowFormat();
    // A typed extension of a known format chooses that format.
    void NameEdited(const QString& text);
    // Empty when the file can be written at `path`, else why not.
    QString PathProblem(const QString& path) const;
    // A typed name in the folder typed, unless it is a whole path.
    QString InFolder(const QString& name) const;
    // Grows the dialog until the preview fits, as far as the screen allows.
    void FitPreview();
    // Whether OK draws off screen rather than writing the captured result.
    bool NeedsShot() const;
    void StartShot(const QString& path);
    void ShotFinished(bool written, const QString& problem);
    // Everything but Cancel waits while a shot is drawn.
    void SetBusy(bool busy);
    // A running shot is stopped and left to end by itself.
    void LetShotGo();

    SettingsStore& store_;
    Prompts& prompts_;
    const QImage* bitmap_ = nullptr;
    QImage redrawn_; // the result drawn with the samples chosen here
    int samples_ = 1;
    QString writtenPath_;
    std::optional<BoxDocument> document_;
    QString projectFile_;
    ShotJob* shot_ = nullptr; // the running shot, a child
    QString shotPath_;
    bool shown_ = false;
    bool stored_ = false;
    bool keepCentred_ = true;
    bool engineShown_ = false; // the document's engine is in the row
    int glMaxSide_ = 0;
    std::int64_t rayMemory_ = 0;
};
