#include "document/ProjectApply.h"

#include "document/BoxDocument.h"

CoverPaths CoverPathsOf(const BoxDocument& doc)
{
    CoverPaths paths;
    for (std::size_t i = 0; i < paths.size(); ++i)
        paths[i] = doc.Cover(static_cast<int>(i)).Path;
    return paths;
}

ProjectData CaptureProject(const BoxDocument& doc, const CoverPaths& covers,
                           const QString& outputFolder)
{
    ProjectData d;
    d.FrontBack = covers[0];
    d.LeftRight = covers[1];
    d.TopBottom = covers[2];
    d.Back = covers[3];
    d.Right = covers[4];
    d.Bottom = covers[5];
    d.OutputFolder = outputFolder;
    d.SizeClass = doc.SizeClass();
    d.Fog = doc.Fog();
    d.Form = doc.Form();
    d.BackgroundColor = static_cast<std::int32_t>(doc.Background() & 0xFFFFFFu);
    d.ImageWidth = doc.Position(Slider::ImageWidth);
    d.ImageHeight = doc.Position(Slider::ImageHeight);
    d.Breed = doc.Position(Slider::Width);
    d.Height = doc.Position(Slider::Height);
    d.Thick = doc.Position(Slider::Thickness);
    d.Depth = doc.Position(Slider::Depth);
    d.Vertical = doc.Position(Slider::Vertical);
    d.Horizontal = doc.Position(Slider::Horizontal);
    d.Turn = doc.Position(Slider::Turn);
    d.Eye = doc.Position(Slider::Eye);
    d.SideAngle = doc.Params.SideAngle;
    d.TiltAngle = doc.Params.TiltAngle;
    d.Looks = doc.Params.Looks;
    d.Shape = doc.Params.Shape;
    d.Engine = doc.Engine();
    d.Size = doc.Real();
    return d;
}

void ApplyProject(BoxDocument& doc, const ProjectData& data)
{
    // An index naming no entry leaves the box without a selection.
    doc.SetSizeClass(data.SizeClass);
    doc.SetFog(data.Fog);
    doc.SetForm(data.Form);

    // Only the colour bits: the high byte has no meaning here.
    doc.SelectBackground(static_cast<std::uint32_t>(data.BackgroundColor) & 0xFFFFFFu);

    // Positions are clamped into their ranges.
    doc.SetPosition(Slider::ImageWidth, data.ImageWidth);
    doc.SetPosition(Slider::ImageHeight, data.ImageHeight);
    doc.ApplyOutputSize();
    doc.SetPosition(Slider::Width, data.Breed);
    doc.SetPosition(Slider::Height, data.Height);
    doc.SetPosition(Slider::Thickness, data.Thick);
    doc.SetPosition(Slider::Depth, data.Depth);
    doc.SetPosition(Slider::Vertical, data.Vertical);
    doc.SetPosition(Slider::Horizontal, data.Horizontal);
    doc.SetPosition(Slider::Turn, data.Turn);
    doc.SetPosition(Slider::Eye, data.Eye);

    doc.SetAngles(data.SideAngle, data.TiltAngle);
    doc.Recompute();
    doc.ApplyBackground();
    // A project without looks has them all off.
    doc.SetLooks(data.Looks);
    doc.SetShape(data.Shape);
    // A project without an engine block is drawn with the raster.
    doc.SetEngine(data.Engine);
    // After the sliders: a real size is kept only where they stand by it.
    doc.KeepRealSize(data.Size);
}
