#pragma once
// The program's one window: the controls that hold the box document, the GL
// view, the cover previews, the menu and the status bar. Handlers are grouped
// by subject in MainWindow*.cpp files.
#include "document/BoxDocument.h"
#include "document/DocumentHistory.h"
#include "render/BoxRenderer.h"
#include "render/CoverImage.h"
#include "services/Preferences.h"
#include "window/MainWindowWidgets.h"
#include "window/Prompts.h"
#include "window/TextureMaker.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDropEvent;
class QKeyEvent;
class SettingsStore;
enum class UpdateCheckMode;

struct MainWindowOptions {
    QString ProgramFolder;        // empty: the executable's folder
    QString SettingsFile;         // empty: the platform's per-user store
    Prompts* Dialogs = nullptr;   // null: real Qt dialogs
};

// Its widgets are the members of MainWindowWidgets.
class MainWindow : public QMainWindow, private MainWindowWidgets {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowOptions& options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The document: what the window shows, saves, writes and draws. Its
    // operations tell the window what changed, so the widgets follow.
    BoxDocument& Document() { return document_; }
    const BoxDocument& Document() const { return document_; }
    const BoxParameters& Params() const { return document_.Params; }
    const CoverImages& CoverSlots() const { return Covers; }
    const Folders& RememberedFolders() const { return Folder; }
    const QString& ProjectFile() const { return projectFile_; }
    // The picture "Write" wrote last; empty until one was.
    const QString& LastOutput() const { return lastOutput_; }
    // The view draws nothing while a file is read or written.
    bool DrawingSuspended() const { return suspendDraw_; }
    void SuspendDrawing(bool suspended) { suspendDraw_ = suspended; }
    void SetUpdateTimeout(int ms) { updateTimeoutMs_ = ms; } // deadline of one update request

    SettingsStore& Store() { return *store_; }
    Prompts& Dialogs() { return *prompts_; }
    QString ProgramFolder() const { return programFolder_; }
    QString StatusText(int panel) const;
    // A short note in the status bar for a few seconds, for failures that ask nothing.
    void ShowStatusMessage(const QString& text);

    // Handlers.
    // The choice a box shows goes to the document (MainWindowDocument.cpp).
    void FormChosen();
    void SurroundingChosen();
    void SizeModeChosen();
    void ShowLookPanel();
    void ShowShapePanel();
    void ApplySliders() { document_.Recompute(); }
    void ApplyOutputSize() { document_.ApplyOutputSize(); }
    void SliderScrolled();
    void PickBackground();
    void ShowAngles();
    void ViewMousePressed(QMouseEvent* event);
    void ViewMouseMoved(QMouseEvent* event);
    void ViewMouseReleased(QMouseEvent* event);
    void ViewResized();
    // The wheel for the whole window and its panels: moves the slider under
    // the pointer, or the depth over the view, else nothing.
    void WheelTurned(QObject* target, QWheelEvent* event);
    // Turns the box as a drag of (dx, dy) pixels would, and draws the frame at once.
    void TurnByKeys(int dx, int dy);

    // Cover images. A picture is read on a worker thread and becomes the
    // slot's cover when it is ready; the latest pick for a slot wins. True
    // when a load started; false (slot unchanged) when the dialog was
    // cancelled or the file is missing or of another type. A damaged file is
    // reported once its load ends, and leaves the slot as it was.
    void CoverClicked(QObject* sender);
    bool SelectCoverImage(int slot, bool useStoredPath, const QString& droppedFile = QString());
    // True while any cover load still runs, also one whose result will be
    // dropped, and until a cover read has its texture on the slot.
    bool CoverLoadsPending() const;
    // Large covers' textures the texture maker has made so far.
    int TexturesMadeAside() const { return texturesMadeAside_; }
    QLabel* PreviewOf(int slot) const;
    int PreviewSlot(const QObject* target) const; // -1: no preview
    // A file dragged onto a preview, the view or the window: a picture sets
    // the cover under it (the front on the view), a .pcf opens; anything
    // else is refused with a status-bar note.
    void DropArrived(QObject* target, QDropEvent* event);
    void ShowPreviews();

    void FocusFirstControl();

    // Projects.
    // Why a project may not be written to `path` (one of its covers).
    std::optional<QString> ProjectSaveRefusal(const QString& path) const;
    bool SaveProject(const QString& path);
    bool LoadProject(const QString& path);
    bool SaveWithName();
    void NewProjectClicked();
    void OpenProjectClicked();
    void SaveProjectClicked();
    void SaveProjectAsClicked();
    bool OpenProjectFile(const QString& path);
    // Opens the project once the view is ready (the covers need its context).
    void OpenProjectAtStart(const QString& path);
    // The title: the project's file name, "*" while it has unsaved changes,
    // then the classic caption.
    void ShowTitle();

    // Results.
    void WriteClicked();
    // The result as written: the frame shown, or drawn again with the looks' samples.
    bool GrabResult(QImage& bitmap);
    bool GrabResult(QImage& bitmap, int samples);
    void BrowseClicked();
    // The output size in pixels: the view draws and the capture reads exactly this.
    QSize OutputPixelSize() const;
    // Needs the panel's context current.
    void ApplyOutputViewport();

    // Fit (MainWindowFit.cpp): the view's sliders moved so that the box, with
    // its looks, fills the result with the fit's margin.
    void FitClicked();
    // Inside the draw callback: measures the fit the next frame asked for.
    void MeasurePendingFit();
    // Sets the sliders to the nearest positions to the fitted view (clamped
    // to their ranges, with a status-bar note when one could not hold it).
    void ApplyFittedView(const BoxParameters& fitted);

    // Edit menu (MainWindowHistory.cpp): a step back or forward through the
    // document's changes, a drag or a slider's move counting as one.
    void UndoClicked();
    void RedoClicked();

    // Help menu (MainWindowHelp.cpp).
    void HelpContentsClicked();
    void AutomaticCheckClicked();
    void CheckUpdateClicked();
    void MailSupportClicked();
    void WebsiteClicked();
    void AboutClicked();
    void UpdateTimerFired();

Q_SIGNALS:
    // A picture became the slot's cover (path and preview; texture once the view exists).
    void CoverInstalled(int slot);
    // The last running cover load ended (installed, failed or dropped).
    void CoverLoadsFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SizeLabels sizeLabels_ = SizeLabels::Classic; // View > Size labels, kept as a preference
    void ConnectSizeLabels();
    BoxDocument document_;
    CoverImages Covers;
    BoxRenderer Renderer;
    Folders Folder;
    QString projectFile_;
    QString lastOutput_;
    bool suspendDraw_ = false;
    bool fitPending_ = false; // the next frame measures a fit first
    bool appActive_ = true;
    int updateTimeoutMs_ = 15000;
    // Problems met while reading the preferences at start-up (shown once shown).
    QStringList startupProblems_;

    // A drag turns the view from the angles it began with, so a drag back
    // restores them exactly.
    struct ViewDrag {
        bool Active = false;
        int StartX = 0, StartY = 0, LastX = 0, LastY = 0;
        float SideAtStart = 0, TiltAtStart = 0;
    };
    ViewDrag drag_;
    static constexpr float SideFactor = 0.5f, TiltFactor = 0.5f;

    void BuildControls();
    void BuildLookPanel(const QFont& font); // MainWindowLookPanel.cpp
    void PlaceLookPanel();
    // Where a tool panel of this size opens: beside the view (PanelPlace.h).
    QPoint PlaceBesideView(const QWidget& panel) const;
    void KeepLookPanelBesideView();
    QPoint lookPanelPlacedAt_;
    void PlaceShapePanel(); // MainWindowShape.cpp
    void KeepShapePanelBesideView();
    QPoint shapePanelPlacedAt_;
    void BuildMenu();
    void SetTabOrder();
    // Space or Enter on a preview or the colour panel, the turning arrows: true when taken.
    bool KeyPressed(QWidget* target, QKeyEvent* event);
    // One step of a bar or a turn: its frame drawn now, not at the next refresh.
    void DrawStepNow();
    void ConnectControls();
    void ConnectView(); // the GL panel's callbacks (MainWindowView.cpp)
    // Each subject wires its own buttons and menu items (MainWindow<Subject>.cpp).
    void ConnectProjects();
    void ConnectResults();
    void ConnectHelp();
    void RunUpdateCheck(UpdateCheckMode mode);
    void Initialise(const MainWindowOptions& options);
    void Shutdown();
    void SetDefaultFolders();
    // Before the project is left (New, Open, closing): true to go on. Asks
    // to save only when there are unsaved changes; Cancel keeps everything.
    bool MaySetProjectAside();
    // The placeholders into every slot, previews and textures (MainWindowProject.cpp).
    void ResetCoverSlots();
    void ShowError(const QString& text);
    SlotTextures Textures();
    SlotThumbnails Thumbnails();
    void PlacePanel(int width, int height);
    // A frame skipped while drawing is suspended is drawn once it resumes.
    void RedrawWhenResumed();

    // Cover loads (MainWindowCovers.cpp).
    struct CoverLoad;
    void StartCoverLoad(int slot, const QString& fileName, const QString& slotPath,
                        const QString& slotFolder);
    void FinishCoverLoad(int slot, quint64 generation, const CoverLoad* finished);
    void ApplyCoverLoad(int slot, const std::shared_ptr<CoverLoad>& load);
    // Results of loads running now are dropped when they arrive.
    void DropCoverLoads();
    void WaitForCoverLoads();
    void SyncBusyCursor();
    void ShowCoverError(const QString& text);
    void CoverShown();
    // Rows of covers still loading go to their textures meanwhile.
    void SendCoverRows();
    void ReleaseStaging(CoverLoad& load);

    // The GL side: handlers record what changed, the view's OnGLChanges
    // applies it with the context current (MainWindowCovers.cpp).
    void ApplyGLChanges();
    void InstallCoverTexture(int slot, CoverLoad& load);
    void DropPendingTextures();
    void ReleaseGLObjects();
    // A large cover's texture is made by textureMaker_ (when there is one):
    // true while `load` waits for it, the request made on the first call.
    bool WaitsForTexture(const std::shared_ptr<CoverLoad>& load, PictureSize size);
    void TextureMade(const std::shared_ptr<CoverLoad>& load, unsigned name);
    std::unique_ptr<TextureMaker> textureMaker_;
    bool textureMakerTried_ = false;
    int texturesBeingMade_ = 0;
    std::optional<std::uint8_t> pendingFogMode_; // the last mode that sets the GL's fog mode
    bool texturesFromThumbnails_ = false;        // New project: placeholders into the textures
    std::array<std::shared_ptr<CoverLoad>, CoverSlotCount> pendingTextures_;
    std::vector<std::unique_ptr<GLTexture>> retiredTextures_; // freed with the context current
    // An empty texture made aside whose cover was overtaken: the next cover
    // of its size takes it instead of having one made (MainWindowCoverTextures.cpp).
    struct SpareTexture {
        unsigned Name = 0;
        PictureSize Size;
    };
    std::optional<SpareTexture> spareTexture_;
    int texturesMadeAside_ = 0;
    std::vector<std::shared_ptr<CoverLoad>> askedAside_; // their textures are being made
    bool InheritTexture(const std::shared_ptr<CoverLoad>& load, PictureSize size);
    bool TakeSpareTexture(const std::shared_ptr<CoverLoad>& load, PictureSize size);
    void KeepSpareTexture(unsigned name, PictureSize size);

    // Undo and redo (MainWindowHistory.cpp): a change settles once no drag
    // holds it, and becomes one step.
    void ConnectHistory();
    void ChangeNoted();
    void SettleChange();
    bool GestureRunning() const;
    void ResetHistory();
    void PutBack(const DocumentSnapshot& snapshot);
    void ShowHistory();
    // The slot's picture as the document names it now, or its placeholder.
    void ShowCoverOf(int slot);
    void ShowCoverPlaceholder(int slot);
    DocumentHistory history_;
    QTimer* settleTimer_ = nullptr;
    bool restoring_ = false;
    std::array<bool, CoverSlotCount> placeholderTextures_{}; // made from the thumbnail with the next GL changes

    // The widgets show the document; what users do goes to it (MainWindowDocument.cpp).
    void BindDocument();
    void ShowDocument(unsigned changes);
    // One look changed from what the document holds.
    void ChangeLooks(const std::function<void(BoxLooks&)>& change);
    // The shape panel (MainWindowShape.cpp): made with the controls, bound to
    // the document, and shown as it says.
    void BuildShapePanel(const QFont& font);
    void BindShapePanel();
    void ShowShape(unsigned changes);
    // An own side picture given up: its pair's shows again.
    void ClearSidePicture(int slot);
    void RetireSideTexture(int slot);
    QComboBox* choiceInput_ = nullptr; // the box whose own input the document takes now

    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_ = nullptr;
    QString programFolder_;
    QString projectsFolder_; // the user's documents, where project dialogs start by default
    bool everActive_ = false;
    bool shownOnce_ = false;
    bool destroyed_ = false;
    bool closed_ = false;
    QObject* clickTarget_ = nullptr; // where a left press began a click
    bool resumeCheckPending_ = false;
    bool frameSkipped_ = false;
    static constexpr int SuspendedRetryMs = 100;
    std::function<void()> pendingOpen_;
    bool automaticCheckDone_ = false; // the automatic update check runs once per start

    std::vector<std::shared_ptr<CoverLoad>> runningLoads_; // until their results arrive here
    std::atomic<bool> coverRowsNoticed_{false};            // a SendCoverRows is on its way
    std::array<std::shared_ptr<CoverLoad>, CoverSlotCount> currentLoads_;
    std::array<quint64, CoverSlotCount> coverGeneration_{};
    std::array<int, CoverSlotCount> coverLoadsInSlot_{};
    int coverLoadsRunning_ = 0;
    int coverModalDepth_ = 0; // no busy cursor over a dialog
    bool coverCursorShown_ = false;
};
