#pragma once
// The box document: the table of box kinds, the derived parameters and the
// operations that move the controls (apply a kind, reset, recompute, size
// class). The window and the command line share this one implementation.
#include "app/BoxControls.h"
#include "app/BoxForm.h"
#include "app/BoxParameters.h"

#include <array>
#include <functional>

class BoxModel {
public:
    BoxModel() = default;
    explicit BoxModel(const BoxControls& controls);
    // For a host that makes its controls after the model.
    void SetControls(const BoxControls& controls) { c_ = controls; }

    BoxParameters Params;
    std::array<BoxForm, FormCount> FormModeTable{};

    // Appends the caption to cbMode and stores the row; an index outside the
    // table is refused (false) and nothing is written.
    bool AddBoxForm(int index, int widthScale, int heightScale, int thicknessScale, int depth,
                    int vertical, int horizontal, int sideAngle, int tiltAngle, int turn, int eye,
                    const QString& name);
    // Clears cbMode and adds the ten kinds in table order.
    void FillFormTable();

    void tbThickChange();
    // A selection outside the table (none, or a stored index beyond the list)
    // applies the first kind and selects it, so the view and the list agree.
    void cbModeChange();
    void ResetProject();
    void cbFogChange();
    void SetFogMode(std::uint8_t mode);
    void UpdateBackgroundColor();
    void cbClassChange();
    void tbImageWidthChange();

    const BoxControls& Controls() const { return c_; }

    // What the host adds around the shared logic.
    std::function<void()> OnAngleStatus;            // status bar texts
    std::function<void()> OnResetCoverImages;       // placeholders back in the slots
    std::function<void(std::uint8_t)> OnFogMode;    // the GL side of SetFogMode
    std::function<void()> OnMaximize;               // "Large" maximises the window
    std::function<void(int, int)> OnOutputSize;     // the GL panel takes the output size
    std::function<void()> OnViewChanged;            // Params or the output size were set anew

private:
    BoxControls c_;
};
