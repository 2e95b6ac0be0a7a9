#pragma once
// The program's one window: the controls that hold the box document, the GL
// view, the cover previews, the menu and the status bar. Handlers are grouped
// by subject in TForm1*.cpp files.
#include "app/BoxRenderer.h"
#include "document/BoxDocument.h"
#include "app/Preferences.h"
#include "app/ui/Prompts.h"
#include "gl/TSimpleGL.h"
#include "textures/CoverImage.h"

#include <QMainWindow>
#include <QThreadPool>
#include <QTimer>

#include <array>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QScrollBar;
class QSpinBox;
class QToolButton;
class TGLPanel;
class TMyRegistry;

struct TForm1Options {
    QString ProgramFolder;        // empty: the executable's folder
    QString SettingsFile;         // empty: the platform's per-user store
    Prompts* Dialogs = nullptr;   // null: real Qt dialogs
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const TForm1Options& options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls (public so that tests can drive them as a user would).
    QGroupBox* GroupBox1 = nullptr;
    QToolButton* sbNewProject = nullptr;
    QToolButton* sbOpenProject = nullptr;
    QToolButton* sbSaveProject = nullptr;
    QToolButton* SpeedButton1 = nullptr; // "Write"
    QLabel* lbProject = nullptr;
    QComboBox* cbClass = nullptr;
    QToolButton* sbBrowse = nullptr;
    QScrollBar* tbImageWidth = nullptr;
    QScrollBar* tbImageHeight = nullptr;
    QLabel* lbImgWidth = nullptr;
    QLabel* lbImgHeight = nullptr;
    QComboBox* cbMode = nullptr;
    QLabel* imSide = nullptr;
    QLabel* imFront = nullptr;
    QLabel* imTop = nullptr;
    QLabel* pColor = nullptr;
    QComboBox* cbFog = nullptr;
    QScrollBar* tbBreed = nullptr;
    QScrollBar* tbHeight = nullptr;
    QScrollBar* tbThick = nullptr;
    QLabel* lbBreed = nullptr;
    QLabel* lbHeight = nullptr;
    QLabel* lbThick = nullptr;
    QWidget* ScrollBox1 = nullptr;
    TGLPanel* GLPanel1 = nullptr;
    QSpinBox* seEye = nullptr;
    QScrollBar* tbVertical = nullptr;
    QScrollBar* tbHoriz = nullptr;
    QScrollBar* tbDepth = nullptr;
    QScrollBar* tbTurn = nullptr;
    QLabel* lbVertical = nullptr;
    QLabel* lbHoriz = nullptr;
    QLabel* lbDepth = nullptr;
    QLabel* lbTurn = nullptr;
    QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};
    QMenu* FilesMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* Newproject1 = nullptr;
    QAction* Saveproject1 = nullptr;
    QAction* Saveprojectas1 = nullptr;
    QAction* Openproject1 = nullptr;
    QAction* Selectfrontimage1 = nullptr;
    QAction* Selectsideimage1 = nullptr;
    QAction* Selecttopimage1 = nullptr;
    QAction* Writeresult1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* Checkupdateautomatically1 = nullptr;
    QAction* Checkupdate1 = nullptr;
    QAction* Emailsupport1 = nullptr;
    QAction* Website1 = nullptr;
    QAction* About1 = nullptr;
    QTimer* TimerUpdate = nullptr;

    // The document and its drawing.
    BoxDocument Document;
    BoxParameters& Params() { return Document.Params; }
    CoverImages Covers;
    std::unique_ptr<TSimpleGL> SimpleGL;
    BoxRenderer Renderer;
    Folders Folder;
    QString ProjectFile;
    QString LastOutput;
    bool SuspendDraw = false;
    bool AppActive = true;

    // Drag state.
    bool Dragging = false;
    int DragStartX = 0, DragStartY = 0, LastX = 0, LastY = 0;
    float SideAngleAtStart = 0, TiltAngleAtStart = 0;
    float SideFactor = 0.5f, TiltFactor = 0.5f;

    TMyRegistry& Store() { return *store_; }
    Prompts& Dialogs() { return *prompts_; }
    QString ProgramFolder() const { return programFolder_; }
    QString StatusText(int panel) const;
    // A short note in the status bar for a few seconds, for failures that ask nothing.
    void ShowStatusMessage(const QString& text);
    // Problems met while reading the preferences at start-up (shown once shown).
    QStringList StartupProblems;

    // Handlers.
    // The choice a box shows goes to the document (TForm1Document.cpp).
    void cbModeChange();
    void cbFogChange();
    void cbClassChange();
    void tbThickChange() { Document.Recompute(); }
    void tbImageWidthChange() { Document.ApplyOutputSize(); }
    void tbDepthScroll();
    void pColorClick();
    void UpdateAngleStatus();
    void GLPanel1MouseDown(QMouseEvent* event);
    void GLPanel1MouseMove(QMouseEvent* event);
    void GLPanel1MouseUp(QMouseEvent* event);
    void GLPanel1Resize();
    // The wheel for the whole window: moves the focused scroll bar, else nothing.
    void FormMouseWheel(QWheelEvent* event);

    // Cover images. A picture is read on a worker thread and becomes the
    // slot's cover when it is ready; the latest pick for a slot wins. True
    // when a load started; false (slot unchanged) when the dialog was
    // cancelled or the file is missing or of another type. A damaged file is
    // reported once its load ends, and leaves the slot as it was.
    void ImageSelectClick(QObject* sender);
    bool SelectCoverImage(int slot, bool useStoredPath, const QString& droppedFile = QString());
    // True while any cover load still runs, also one whose result will be dropped.
    bool CoverLoadsPending() const { return coverLoadsRunning_ > 0; }
    QLabel* PreviewOf(int slot) const;
    void ShowPreviews();

    void FormShow();

    // Projects.
    bool SaveProject(const QString& path);
    bool LoadProject(const QString& path);
    bool SaveWithName();
    void sbNewProjectClick();
    void sbOpenProjectClick();
    void sbSaveProjectClick();
    void Saveprojectas1Click();
    bool OpenProjectFile(const QString& path);
    // Opens the project once the view is ready (the covers need its context).
    void OpenProjectAtStart(const QString& path);

    // Results.
    void SpeedButton1Click();
    void sbBrowseClick();
    // The output size in pixels: the view draws and the capture reads exactly this.
    QSize OutputPixelSize() const;
    // Needs the panel's context current.
    void ApplyOutputViewport();

    // Help menu (TForm1Help.cpp).
    void Contents1Click();
    void Checkupdateautomatically1Click();
    void Checkupdate1Click();
    void Emailsupport1Click();
    void Website1Click();
    void About1Click();
    void TimerUpdateTimer();
    int UpdateTimeoutMs = 15000; // deadline of one update request

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
    void BuildControls();
    void BuildMenu();
    void ConnectControls();
    // Each subject wires its own buttons and menu items (TForm1<Subject>.cpp).
    void ConnectProjects();
    void ConnectResults();
    void ConnectHelp();
    void FormCreate(const TForm1Options& options);
    void FormDestroy();
    void SetDefaultFolders();
    void ShowError(const QString& text);
    SlotTextures Textures();
    SlotThumbnails Thumbnails();
    void PlacePanel(int width, int height);
    // A frame skipped while drawing is suspended is drawn once it resumes.
    void RedrawWhenResumed();

    // Cover loads (TForm1Covers.cpp).
    struct CoverLoad;
    void StartCoverLoad(int slot, const QString& fileName, const QString& slotPath,
                        const QString& slotFolder);
    void FinishCoverLoad(int slot, quint64 generation, const std::shared_ptr<CoverLoad>& load);
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
    // applies it with the context current (TForm1Covers.cpp).
    void ApplyGLChanges();
    void InstallCoverTexture(int slot, CoverLoad& load);
    void DropPendingTextures();
    void ReleaseGLObjects();
    std::optional<std::uint8_t> pendingFogMode_; // the last mode that sets the GL's fog mode
    bool texturesFromThumbnails_ = false;        // New project: placeholders into the textures
    std::array<std::shared_ptr<CoverLoad>, CoverSlotCount> pendingTextures_;
    std::vector<std::unique_ptr<TGLBMP>> retiredTextures_; // freed with the context current

    // The widgets show the document; what users do goes to it (TForm1Document.cpp).
    void BindDocument();
    void ShowDocument(unsigned changes);
    QComboBox* choiceInput_ = nullptr; // the box whose own input the document takes now

    std::unique_ptr<TMyRegistry> store_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_ = nullptr;
    QString programFolder_;
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

    QThreadPool coverPool_;
    QTimer coverSendTimer_;
    std::array<std::shared_ptr<CoverLoad>, CoverSlotCount> currentLoads_;
    std::array<quint64, CoverSlotCount> coverGeneration_{};
    std::array<int, CoverSlotCount> coverLoadsInSlot_{};
    int coverLoadsRunning_ = 0;
    int coverModalDepth_ = 0; // no busy cursor over a dialog
    bool coverCursorShown_ = false;
};
