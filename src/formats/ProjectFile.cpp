#include "formats/ProjectFile.h"

#include "formats/AtomicFile.h"
#include "formats/Extended80.h"
#include "formats/ProjectError.h"
#include "formats/ValueStream.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

const QString ExtensionMark = QStringLiteral("CFXB");
const QString LooksBlockName = QStringLiteral("Looks");
// Version 2 adds the lens; a classic lens writes version 1, byte for byte.
constexpr std::int32_t LooksBlockVersion = 1;
constexpr std::int32_t LooksWithLensVersion = 2;
const QString ShapeBlockName = QStringLiteral("Shape");
constexpr std::int32_t ShapeBlockVersion = 1;
const QString EngineBlockName = QStringLiteral("Engine");
constexpr std::int32_t EngineBlockVersion = 1;
// Its own block, written only when off: the projects saved before it keep
// their bytes, and read without it, the ray tracer denoises as it now does.
const QString DenoiseBlockName = QStringLiteral("Denoise");
constexpr std::int32_t DenoiseBlockVersion = 1;
// The depth of field's f-number in tenths, written only when it is on.
const QString ApertureBlockName = QStringLiteral("Aperture");
constexpr std::int32_t ApertureBlockVersion = 1;
// The real size asked for, beside the sliders that hold the nearest of it.
const QString SizeBlockName = QStringLiteral("Size");
constexpr std::int32_t SizeBlockVersion = 1;
constexpr double MaxStoredSide = 10000.0; // mm

[[noreturn]] void ThrowInvalidValue()
{
    throw ProjectError(ProjectError::Kind::InvalidPropertyValue, InvalidPropertyValueText());
}

[[noreturn]] void ThrowReadError()
{
    throw ProjectError(ProjectError::Kind::StreamRead, StreamReadErrorText());
}

QByteArray ExtensionBlock(const QString& name, std::int32_t version, const QByteArray& values)
{
    ValueWriter header;
    header.WriteString(ExtensionMark);
    header.WriteString(name);
    header.WriteInteger(version);
    header.WriteInteger(static_cast<std::int32_t>(values.size()));
    return header.Bytes() + values;
}

QByteArray LooksValues(const BoxLooks& looks)
{
    ValueWriter w;
    for (int value : {looks.Shadow, looks.ShadowSoftness, looks.Reflection, looks.Light,
                      looks.SmoothTextures ? 1 : 0, looks.Samples})
        w.WriteInteger(value);
    if (looks.LensMm != LookLimits::ClassicLens)
        w.WriteInteger(looks.LensMm);
    return w.Bytes();
}

int ReadIn(ValueReader& r, int minimum, int maximum)
{
    const std::int32_t v = r.ReadInteger();
    if (v < minimum || v > maximum)
        ThrowInvalidValue();
    return v;
}

BoxLooks ReadLooks(const QByteArray& values, std::int32_t version)
{
    using namespace LookLimits;
    ValueReader r(values);
    BoxLooks looks;
    looks.Shadow = ReadIn(r, MinStrength, MaxStrength);
    looks.ShadowSoftness = ReadIn(r, MinStrength, MaxStrength);
    looks.Reflection = ReadIn(r, MinStrength, MaxStrength);
    looks.Light = ReadIn(r, MinStrength, MaxStrength);
    looks.SmoothTextures = ReadIn(r, 0, 1) == 1;
    looks.Samples = r.ReadInteger();
    if (!IsSampleCount(looks.Samples))
        ThrowInvalidValue();
    if (version >= LooksWithLensVersion)
        looks.LensMm = ReadIn(r, MinLensMm, MaxLensMm);
    return looks; // values of a later version stay unread
}

bool ShapeAtDefaults(const ProjectData& d)
{
    return d.Shape == BoxShape{} && d.Back.isEmpty() && d.Right.isEmpty() && d.Bottom.isEmpty();
}

QByteArray ShapeValues(const ProjectData& d)
{
    ValueWriter w;
    w.WriteFloat(static_cast<double>(d.Shape.EdgeRadius));
    w.WriteInteger(d.Shape.BookPages ? 1 : 0);
    w.WriteString(d.Back);
    w.WriteString(d.Right);
    w.WriteString(d.Bottom);
    return w.Bytes();
}

void ReadShape(const QByteArray& values, ProjectData& d)
{
    ValueReader r(values);
    const double radius = r.ReadFloat();
    // Written as a float, so anything outside the range (NaN too) is damage.
    if (!(radius >= ShapeLimits::MinEdgeRadius && radius <= ShapeLimits::MaxEdgeRadius))
        ThrowInvalidValue();
    d.Shape.EdgeRadius = static_cast<float>(radius);
    d.Shape.BookPages = ReadIn(r, 0, 1) == 1;
    d.Back = r.ReadString();
    d.Right = r.ReadString();
    d.Bottom = r.ReadString();
    // values of a later version stay unread
}

QByteArray EngineValues(const BoxEngine& engine)
{
    ValueWriter w;
    for (int value : {engine.RayTraced ? 1 : 0, engine.Passes, engine.Gloss})
        w.WriteInteger(value);
    return w.Bytes();
}

void ReadEngine(const QByteArray& values, BoxEngine& engine)
{
    using namespace EngineLimits;
    ValueReader r(values);
    engine.RayTraced = ReadIn(r, 0, 1) == 1;
    engine.Passes = ReadIn(r, MinPasses, MaxPasses);
    engine.Gloss = ReadIn(r, MinGloss, MaxGloss);
    // values of a later version stay unread
}

bool EngineAtDefaults(const BoxEngine& engine)
{
    const BoxEngine defaults;
    return engine.RayTraced == defaults.RayTraced && engine.Passes == defaults.Passes && engine.Gloss == defaults.Gloss;
}

QByteArray DenoiseValues(const BoxEngine& engine)
{
    ValueWriter w;
    w.WriteInteger(engine.Denoise ? 1 : 0);
    return w.Bytes();
}

QByteArray ApertureValues(const BoxEngine& engine)
{
    ValueWriter w;
    w.WriteInteger(static_cast<std::int32_t>(std::lround(engine.FNumber * 10)));
    return w.Bytes();
}

QByteArray SizeValues(const RealSize& size)
{
    ValueWriter w;
    w.WriteInteger(static_cast<std::int32_t>(size.Unit));
    for (double side : {size.Width, size.Height, size.Depth})
        w.WriteFloat(side);
    w.WriteInteger(size.Pages);
    w.WriteFloat(size.Caliper);
    w.WriteFloat(size.Boards);
    return w.Bytes();
}

double ReadBetween(ValueReader& r, double minimum, double maximum)
{
    const double v = r.ReadFloat();
    if (!(v >= minimum && v <= maximum)) // NaN too
        ThrowInvalidValue();
    return v;
}

RealSize ReadSize(const QByteArray& values)
{
    ValueReader r(values);
    RealSize size;
    size.Unit = static_cast<SizeUnit>(ReadIn(r, 0, static_cast<int>(SizeUnit::Inch)));
    for (double* side : {&size.Width, &size.Height, &size.Depth}) {
        *side = ReadBetween(r, 0, MaxStoredSide);
        if (*side <= 0)
            ThrowInvalidValue();
    }
    size.Pages = ReadIn(r, 0, 1000000);
    size.Caliper = ReadBetween(r, 0, MaxStoredSide);
    size.Boards = ReadBetween(r, 0, MaxStoredSide);
    return size; // values of a later version stay unread
}

// The blocks after value 21, read on from where `r` stands. Only whole
// blocks may follow: a stored engine or shape that is silently dropped
// renders another box than the one saved.
void ReadExtensions(ValueReader& r, const QByteArray& bytes, ProjectData& d)
{
    ValueWriter markWriter;
    markWriter.WriteString(ExtensionMark);
    const QByteArray mark = markWriter.Bytes();
    bool looksSeen = false;
    bool shapeSeen = false;
    bool engineSeen = false;
    bool denoiseSeen = false;
    bool apertureSeen = false;
    bool sizeSeen = false;
    while (r.Position() < bytes.size()) {
        const QByteArrayView rest = QByteArrayView(bytes).sliced(r.Position());
        if (!rest.startsWith(mark)) {
            if (QByteArrayView(mark).startsWith(rest))
                ThrowReadError(); // cut inside the mark
            throw ProjectError(ProjectError::Kind::DamagedAfterClassic, DamagedAfterClassicText());
        }
        r.ReadString(); // the mark
        const QString name = r.ReadString();
        const std::int32_t version = r.ReadInteger();
        const std::int32_t length = r.ReadInteger();
        if (version < 1 || length < 0)
            ThrowInvalidValue();
        const QByteArray values = r.ReadBytes(static_cast<std::uint64_t>(length));
        if (name == LooksBlockName) {
            if (looksSeen)
                ThrowInvalidValue();
            looksSeen = true;
            d.Looks = ReadLooks(values, version);
        } else if (name == ShapeBlockName) {
            if (shapeSeen)
                ThrowInvalidValue();
            shapeSeen = true;
            ReadShape(values, d);
        } else if (name == EngineBlockName) {
            if (engineSeen)
                ThrowInvalidValue();
            engineSeen = true;
            ReadEngine(values, d.Engine);
        } else if (name == DenoiseBlockName) {
            if (denoiseSeen)
                ThrowInvalidValue();
            denoiseSeen = true;
            ValueReader denoise(values);
            d.Engine.Denoise = ReadIn(denoise, 0, 1) == 1; // values of a later version stay unread
        } else if (name == ApertureBlockName) {
            if (apertureSeen)
                ThrowInvalidValue();
            apertureSeen = true;
            ValueReader aperture(values);
            const int tenths = ReadIn(aperture, static_cast<int>(EngineLimits::MinFNumber * 10),
                                      static_cast<int>(EngineLimits::MaxFNumber * 10));
            d.Engine.FNumber = tenths / 10.0;
        } else if (name == SizeBlockName) {
            if (sizeSeen)
                ThrowInvalidValue();
            sizeSeen = true;
            d.Size = ReadSize(values);
        }
    }
}

// A byte that is no value's tag at all where the version or the value
// after it starts: text, a picture or noise, not a damaged project. A tag
// of the wrong kind there keeps the classic text.
void RefuseOtherFiles(const QByteArray& bytes, qsizetype at)
{
    if (at < bytes.size() && !ValueTag::IsTag(static_cast<std::uint8_t>(bytes[at])))
        throw ProjectError(ProjectError::Kind::NotAProject, NotAProjectText());
}

} // namespace

QByteArray EncodeProject(const ProjectData& data)
{
    ValueWriter w;
    w.WriteInteger(ProjectFormatVersion);
    w.WriteString(data.FrontBack);
    w.WriteString(data.LeftRight);
    w.WriteString(data.TopBottom);
    w.WriteString(data.OutputFolder);
    w.WriteInteger(data.SizeClass);
    w.WriteInteger(data.Fog);
    w.WriteInteger(data.Form);
    w.WriteInteger(data.BackgroundColor);
    for (std::int32_t position : {data.ImageWidth, data.ImageHeight, data.Breed, data.Height,
                                  data.Thick, data.Depth, data.Vertical, data.Horizontal,
                                  data.Turn, data.Eye})
        w.WriteInteger(position);
    w.WriteFloat(static_cast<double>(data.SideAngle));
    w.WriteFloat(static_cast<double>(data.TiltAngle));
    QByteArray bytes = w.Bytes();
    if (data.Looks != BoxLooks{})
        bytes += ExtensionBlock(LooksBlockName,
                                data.Looks.LensMm == LookLimits::ClassicLens ? LooksBlockVersion : LooksWithLensVersion,
                                LooksValues(data.Looks));
    if (!ShapeAtDefaults(data))
        bytes += ExtensionBlock(ShapeBlockName, ShapeBlockVersion, ShapeValues(data));
    if (!EngineAtDefaults(data.Engine))
        bytes += ExtensionBlock(EngineBlockName, EngineBlockVersion, EngineValues(data.Engine));
    if (!data.Engine.Denoise)
        bytes += ExtensionBlock(DenoiseBlockName, DenoiseBlockVersion, DenoiseValues(data.Engine));
    if (data.Engine.FNumber != EngineLimits::NoDepthOfField)
        bytes += ExtensionBlock(ApertureBlockName, ApertureBlockVersion, ApertureValues(data.Engine));
    if (data.Size.Given())
        bytes += ExtensionBlock(SizeBlockName, SizeBlockVersion, SizeValues(data.Size));
    return bytes;
}

ProjectData DecodeProject(const QByteArray& bytes)
{
    ValueReader r(bytes);
    ProjectData d;
    RefuseOtherFiles(bytes, 0);
    d.Version = r.ReadInteger();
    // Refuse before reading on: a newer layout may differ from here on.
    if (d.Version > ProjectFormatVersion)
        throw ProjectError(ProjectError::Kind::NewerVersion, NewerVersionText());
    RefuseOtherFiles(bytes, r.Position());
    d.FrontBack = r.ReadString();
    d.LeftRight = r.ReadString();
    d.TopBottom = r.ReadString();
    d.OutputFolder = r.ReadString();
    d.SizeClass = r.ReadInteger();
    d.Fog = r.ReadInteger();
    d.Form = r.ReadInteger();
    d.BackgroundColor = r.ReadInteger();
    for (std::int32_t* position : {&d.ImageWidth, &d.ImageHeight, &d.Breed, &d.Height, &d.Thick,
                                   &d.Depth, &d.Vertical, &d.Horizontal, &d.Turn, &d.Eye})
        *position = r.ReadInteger();
    d.SideAngle = DoubleToFloat(r.ReadFloat());
    d.TiltAngle = DoubleToFloat(r.ReadFloat());
    ReadExtensions(r, bytes, d);
    return d;
}

namespace {

[[noreturn]] void ThrowCannotCreate(const QString& path, const QString& reason)
{
    throw ProjectError(ProjectError::Kind::CannotCreate,
                       QStringLiteral("Cannot create file ") + path + QStringLiteral(". ") + reason);
}

} // namespace

bool SaveProjectFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    const bool exists = target.exists() || target.isSymLink();
    // A folder or a write-protected file at the path is never replaced.
    if (exists && (target.isDir() || !target.isWritable()))
        return false;

    // The new content goes to a temporary file beside the target and is
    // renamed over it only when complete; a regular file is never written into.
    try {
        WriteFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        using Step = FileWriteError::Step;
        const bool replacing = e.FailedStep() != Step::Write;
        if (exists && replacing)
            return false;
        ThrowCannotCreate(path, e.Reason());
    }
    return true;
}

std::optional<QByteArray> LoadProjectBytes(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ProjectError(ProjectError::Kind::CannotRead,
                           QStringLiteral("Cannot open file ") + path + QStringLiteral(". ") +
                               file.errorString());
    const QString tooLarge =
        QStringLiteral("File ") + path + QStringLiteral(" is too large for a project file.");
    if (file.size() > MaxProjectFileSize)
        throw ProjectError(ProjectError::Kind::CannotRead, tooLarge);
    // The size can change or lie (special files): read at most one byte more.
    QByteArray bytes = file.read(MaxProjectFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw ProjectError(ProjectError::Kind::CannotRead,
                           QStringLiteral("Cannot read file ") + path + QStringLiteral(". ") +
                               file.errorString());
    if (bytes.size() > MaxProjectFileSize)
        throw ProjectError(ProjectError::Kind::CannotRead, tooLarge);
    return bytes;
}
