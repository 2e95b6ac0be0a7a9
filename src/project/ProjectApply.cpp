#include "project/ProjectApply.h"

#include "app/BoxModel.h"

ProjectData CaptureProject(const BoxModel& model, const CoverPaths& covers,
                           const QString& outputFolder)
{
    const BoxControls& c = model.Controls();
    ProjectData d;
    d.FrontBack = covers[0];
    d.LeftRight = covers[1];
    d.TopBottom = covers[2];
    d.OutputFolder = outputFolder;
    d.SizeClass = c.cbClass->ItemIndex();
    d.Fog = c.cbFog->ItemIndex();
    d.Form = c.cbMode->ItemIndex();
    d.BackgroundColor = static_cast<std::int32_t>(c.pColor->Color() & 0xFFFFFFu);
    d.ImageWidth = c.tbImageWidth->Position();
    d.ImageHeight = c.tbImageHeight->Position();
    d.Breed = c.tbBreed->Position();
    d.Height = c.tbHeight->Position();
    d.Thick = c.tbThick->Position();
    d.Depth = c.tbDepth->Position();
    d.Vertical = c.tbVertical->Position();
    d.Horizontal = c.tbHoriz->Position();
    d.Turn = c.tbTurn->Position();
    d.Eye = c.seEye->Position();
    d.SideAngle = model.Params.SideAngle;
    d.TiltAngle = model.Params.TiltAngle;
    return d;
}

void ApplyProject(BoxModel& model, const ProjectData& data)
{
    const BoxControls& c = model.Controls();

    // An index naming no entry leaves the box without a selection.
    c.cbClass->SetItemIndex(data.SizeClass);
    model.cbClassChange();
    c.cbFog->SetItemIndex(data.Fog);
    model.cbFogChange();
    c.cbMode->SetItemIndex(data.Form);
    model.cbModeChange();

    // Only the colour bits: the high byte has no meaning here.
    c.pColor->SetColor(static_cast<std::uint32_t>(data.BackgroundColor) & 0xFFFFFFu);

    // The controls clamp positions into their ranges.
    c.tbImageWidth->SetPosition(data.ImageWidth);
    c.tbImageHeight->SetPosition(data.ImageHeight);
    model.tbImageWidthChange();
    c.tbBreed->SetPosition(data.Breed);
    c.tbHeight->SetPosition(data.Height);
    c.tbThick->SetPosition(data.Thick);
    c.tbDepth->SetPosition(data.Depth);
    c.tbVertical->SetPosition(data.Vertical);
    c.tbHoriz->SetPosition(data.Horizontal);
    c.tbTurn->SetPosition(data.Turn);
    c.seEye->SetPosition(data.Eye);

    model.Params.SideAngle = data.SideAngle;
    model.Params.TiltAngle = data.TiltAngle;

    model.tbThickChange();
    model.UpdateBackgroundColor();
}
