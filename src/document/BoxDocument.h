#pragma once
// The box document: the values a project holds (sliders, choices, colour,
// angles), the parameters the drawing reads, and the table of box kinds,
// with the operations a user's actions run. The window shows it and calls
// its operations; the command line and the tests use it directly. One set of
// rules for both: a project gives the same picture in each.
#include "document/BoxEngine.h"
#include "document/BoxForm.h"
#include "document/BoxParameters.h"
#include "document/ProjectData.h"
#include "document/RealSize.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// The ten positions a project stores, in the window's order of controls.
enum class Slider {
    Width,       // box width, 1..100
    Height,      // box height, 1..100
    Thickness,   // box thickness, 1..100
    Depth,       // distance of the eye, 2..80
    Vertical,    // -300..300
    Horizontal,  // -300..300
    Turn,        // tenths of a degree, -1800..1800
    Eye,         // eye angle, 0..60
    ImageWidth,  // result width, 1..the size class's maximum
    ImageHeight, // result height, likewise
};
inline constexpr int SliderCount = 10;

struct SliderRange {
    int Minimum = 0;
    int Maximum = 0;
};

// Ranges and start positions of the sliders.
namespace SliderLimits {
inline constexpr int SizeMin = 1, SizeMax = 100, SizeStart = 50;
inline constexpr int DepthMin = 2, DepthMax = 80, DepthStart = 4;
inline constexpr int OffsetMin = -300, OffsetMax = 300, OffsetStart = -2;
inline constexpr int TurnMin = -1800, TurnMax = 1800, TurnStart = 0;
inline constexpr int EyeMin = 0, EyeMax = 60, EyeStart = 30;
inline constexpr int ImageMin = 1, ImageStart = 300;
} // namespace SliderLimits

QStringList FogCaptions();       // "Clear view", "Natural view", "dimmed light", "Dark"
QStringList SizeClassCaptions(); // "Small", "Medium", "Large"
QStringList FormCaptions();      // the ten box kinds, in table order

// A cover picture as the project names it: the path as picked or as the
// file stores it, and the project's folder a relative path is read from.
struct CoverSource {
    QString Path;
    QString Folder;
};
// Front/back, left/right, top/bottom, then the own pictures of back, right
// and bottom (the texture slots of render/BoxSides.h, in their order).
inline constexpr int CoverSourceCount = 6;
inline constexpr int ClassicCoverCount = 3;

// What an operation changed, so that a view shows it.
namespace DocumentChange {
inline constexpr unsigned Sliders = 1u << 0;     // a position or a range
inline constexpr unsigned Form = 1u << 1;        // the box kind's selection
inline constexpr unsigned Fog = 1u << 2;         // the surrounding's selection
inline constexpr unsigned SizeClass = 1u << 3;   // the size mode's selection
inline constexpr unsigned Background = 1u << 4;  // the background colour
inline constexpr unsigned Angles = 1u << 5;      // side or tilt angle
inline constexpr unsigned OutputSize = 1u << 6;  // the result's width or height
inline constexpr unsigned View = 1u << 7;        // anything the drawing reads
inline constexpr unsigned FogMode = 1u << 8;     // a fog mode was applied (Params.FogMode)
inline constexpr unsigned CoversReset = 1u << 9; // the placeholders go back into the slots
inline constexpr unsigned Maximize = 1u << 10;   // "Large" asks for the whole screen
inline constexpr unsigned Looks = 1u << 11;      // shadow, reflection, light, textures or samples (Params.Looks)
inline constexpr unsigned Shape = 1u << 12;      // edge radius or book pages (Params.Shape)
inline constexpr unsigned SideCovers = 1u << 13; // a back, right or bottom picture named or cleared
inline constexpr unsigned Engine = 1u << 16;     // the final picture's engine, passes or gloss (not the live view)
// Kept apart from the flags above, which views act on: only "saved or not" follows it.
inline constexpr unsigned Files = 1u << 24;      // a cover path or the output folder
} // namespace DocumentChange

class BoxDocument {
public:
    BoxDocument();

    // -- Values --------------------------------------------------------
    int Position(Slider slider) const { return positions_[Index(slider)]; }
    SliderRange Range(Slider slider) const { return ranges_[Index(slider)]; }
    // -1: no item selected (a stored index beyond the list, or typed text
    // that names no item).
    int Form() const { return form_; }
    int Fog() const { return fog_; }
    int SizeClass() const { return sizeClass_; }
    std::uint32_t Background() const { return background_; } // 0x00BBGGRR
    const std::array<BoxForm, FormCount>& Forms() const { return forms_; }
    // The number a slider's label shows.
    QString ValueText(Slider slider) const;

    // The parameters the drawing reads, as they are: the drawing never
    // changes them. The angles are set by SetAngles or TurnTo; everything
    // else is derived.
    BoxParameters Params;
    // Where results are written (ends with a separator; empty: none set).
    const QString& OutputFolder() const { return outputFolder_; }
    // Slot 0..5 (CoverSourceCount); the pictures themselves are the host's.
    const CoverSource& Cover(int slot) const { return covers_[static_cast<std::size_t>(slot)]; }

    // -- Operations, each what a user's action runs ----------------------
    // Clamps into the range. A position that moved recomputes (the result
    // sliders set the output size instead).
    void SetPosition(Slider slider, int position);
    // Selects the kind and applies it: scales, depth, offsets, turn, eye and
    // angles. An index outside the table applies the first kind and selects it.
    void SetForm(int index);
    // Selects the surrounding and applies its fog mode (-1 counts as 255).
    void SetFog(int index);
    // Selects the size mode; the result sliders take its maximum as range
    // and position ("Large" tells the host Maximize).
    void SetSizeClass(int index);
    void SetBackground(std::uint32_t color);
    // The angles as given: a project's, an option's.
    void SetAngles(float side, float tilt);
    // The view turned by the user: an angle of 360 or more wraps to 0, so
    // what is shown, saved and written is the wrapped view.
    void TurnTo(float side, float tilt);
    // Wraps the angles in force as TurnTo would (a project opened for viewing).
    void WrapAngles() { TurnTo(Params.SideAngle, Params.TiltAngle); }
    void SetOutputFolder(const QString& folder);
    // Tells Files (saved or not); a change in slots 3..5 also tells
    // SideCovers | View (a classic slot's host loads and shows its picture).
    void SetCover(int slot, const CoverSource& cover);
    // The edge radius clamped to its range (not a number: 0); tells
    // Shape | View when anything changed. Reset with the project: a shape
    // belongs to the product, unlike the looks.
    void SetShape(const BoxShape& shape);
    // Strengths clamped to 0..100, samples to the nearest count at or below
    // (at least 1), a lens other than the classic one to its range; tells Looks | View when anything changed. The looks are
    // not part of the new-project reset: they are a studio style, kept
    // until a project brings its own.
    void SetLooks(const BoxLooks& looks);
    // How the final picture is made; passes and gloss clamped to their
    // ranges. Tells Engine only: the live view stays the raster. Kept over
    // "New project" as the looks are.
    const BoxEngine& Engine() const { return engine_; }
    void SetEngine(const BoxEngine& engine);

    // The new-project reset of the selections, colour, sizes, eye and cover
    // paths (the host puts the placeholder covers back when told CoversReset).
    void ResetProject();
    // "New project": the reset, then background, size mode, kind and fog applied.
    void NewProject();

    // Only selects, as a stored preference does before it is applied.
    void SelectForm(int index) { form_ = ValidIndex(index, FormCount); }
    void SelectFog(int index) { fog_ = ValidIndex(index, static_cast<int>(FogCaptions().size())); }
    void SelectSizeClass(int index) { sizeClass_ = ValidIndex(index, static_cast<int>(SizeClassCaptions().size())); }
    void SelectBackground(std::uint32_t color) { background_ = color & 0xFFFFFFu; }

    // The steps the operations are made of, for hosts that replay a saved
    // order (preferences, projects).
    void Recompute();            // the size, depth, offsets, turn and eye parameters
    void ApplyForm();            // the selected kind (none: the first)
    void ApplyFog();             // the selected surrounding's fog mode
    void ApplySizeClass();       // the selected size mode's maximum
    void ApplyBackground();      // the colour into the parameters
    void ApplyOutputSize();      // the result sliders to the host

    // What changed (DocumentChange flags), told at the moment it changes.
    std::function<void(unsigned changes)> OnChanged;

    // -- Real sizes (DocumentSize.cpp) ------------------------------------
    // The size a project keeps beside its sliders (none: not Given). Moving
    // a size slider or changing the kind lets it go: the sliders are the box.
    const RealSize& Real() const { return real_; }
    // The sides the box is drawn with, in mm (width, height, thickness).
    Sides DrawnSides() const;
    // A size slider's label in `labels`: the classic number, or the side in mm or inches.
    QString SizeLabel(Slider slider, SizeLabels labels) const;
    // Moves the size sliders to the positions nearest `size` under the
    // current kind and keeps it. Nothing changes and the reason is returned
    // when a side is out of the kind's range; else the sides not held
    // exactly, each with both numbers, go into `notes`.
    QString SetRealSize(const RealSize& size, QStringList* notes = nullptr);
    // Keeps `size` only when the sliders stand where it puts them (a project
    // saved by a reader that moved them keeps its sliders, not the block).
    void KeepRealSize(const RealSize& size);

    // -- Saved or not (DocumentSaved.cpp) --------------------------------
    // What a save would store now becomes the saved state: after a save, an
    // open, "New project", and at start.
    void MarkSaved();
    // True while a save would store something else than the saved state, so
    // every value a project holds counts, whichever control changed it.
    bool Modified() const;

private:
    static constexpr std::size_t Index(Slider s) { return static_cast<std::size_t>(s); }
    static int ValidIndex(int index, int count) { return index >= 0 && index < count ? index : -1; }
    // True when the position moved.
    bool Move(Slider slider, int position);
    void SetMaximum(Slider slider, int maximum);
    void Changed(unsigned changes);

    std::array<int, SliderCount> positions_{};
    std::array<SliderRange, SliderCount> ranges_{};
    std::array<BoxForm, FormCount> forms_{};
    int form_ = 0;
    int fog_ = 0;
    int sizeClass_ = 1;
    std::uint32_t background_ = 0xFFFFFF;
    QString outputFolder_;
    std::array<CoverSource, CoverSourceCount> covers_{};
    RealSize real_;
    std::optional<ProjectData> saved_; // what a save stored at MarkSaved
    BoxEngine engine_;
};
