#pragma once
// "Save image as": previews the captured result, lets the user pick the
// output folder and the format, names the file after the clock and writes it.
#include <QDateTime>
#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class Prompts;
class SettingsStore;

class SaveImageDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormatJpeg = 0;
    static constexpr int FormatBmp = 1;

    SaveImageDialog(SettingsStore& store, Prompts& prompts, QWidget* parent = nullptr);
    ~SaveImageDialog() override;

    // Borrowed: the caller keeps the bitmap alive while the dialog runs.
    void SetResultBitmap(const QImage* bitmap) { bitmap_ = bitmap; }
    void SetFolder(const QString& folder);
    QString FolderText() const;
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

    // The clock that names the files (tests set a fixed one).
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

    QWidget* folderRow = nullptr;
    QWidget* setPanel = nullptr;
    QLineEdit* folderEdit = nullptr;
    QToolButton* setFolderButton = nullptr; // "Set"
    QScrollArea* previewArea = nullptr;
    QLabel* preview = nullptr;
    QComboBox* formatBox = nullptr;
    QLabel* qualityLabel = nullptr;
    QSpinBox* qualityBox = nullptr;
    QCheckBox* transparentBox = nullptr;
    QLabel* samplesLabel = nullptr;
    QComboBox* samplesBox = nullptr; // the items are LookLimits::SampleCounts
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

    void FormatChosen();
    void SamplesChosen();
    void SetFolderClicked();
    void OkClicked();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PrepareShow();
    void ShowBitmap();
    // A result larger than the view opens at its middle, not its top left.
    void CentrePreview();
    void FitFolderField();
    void LoadPreferences();
    // False (and the reason in *problem) when the store refused a value.
    bool StorePreferences(QString* problem);
    void EnableOkByFolder();

    SettingsStore& store_;
    Prompts& prompts_;
    const QImage* bitmap_ = nullptr;
    QImage redrawn_; // the result drawn with the samples chosen here
    int samples_ = 1;
    QString writtenPath_;
    bool shown_ = false;
    bool stored_ = false;
    bool keepCentred_ = true;
};
