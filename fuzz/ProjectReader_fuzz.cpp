// Project file reader on arbitrary bytes: decoding either gives a complete
// record or a ProjectError, and a decoded record applies cleanly to the box
// document whatever its values.
//
// Seeds: ProjectReader_fuzz --write-seeds=DIR writes a small corpus made by
// the program's own writer and exits (libFuzzer ignores "--" flags).
#include "FuzzSupport.h"
#include "document/BoxDocument.h"
#include "document/ProjectApply.h"
#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

ProjectData Seed(int variant)
{
    ProjectData d;
    d.OutputFolder = QStringLiteral("C:\\Out\\");
    switch (variant) {
    case 1:
        d.FrontBack = QStringLiteral("/covers/\u00E9t\u00E9/front.jpg");
        d.LeftRight = QString(300, QLatin1Char('l'));
        d.TopBottom = QStringLiteral("top.bmp");
        d.SizeClass = 2;
        d.Fog = 3;
        d.Form = 5;
        d.BackgroundColor = 0x123456;
        d.ImageWidth = 420;
        d.ImageHeight = 123;
        d.Vertical = -129;
        d.Horizontal = -300;
        d.Turn = -1800;
        d.Eye = 59;
        d.SideAngle = -400.25f;
        d.TiltAngle = 0.1f;
        break;
    case 2:
        d.SizeClass = -1;
        d.Fog = 9;
        d.Form = 40000;
        d.BackgroundColor = -1;
        d.Depth = 100000;
        break;
    case 3:
        d.Looks.Shadow = 60;
        d.Looks.ShadowSoftness = 0;
        d.Looks.Reflection = 100;
        d.Looks.Light = 50;
        d.Looks.SmoothTextures = true;
        d.Looks.Samples = 32;
        break;
    default: break;
    }
    return d;
}

void WriteSeeds(const QString& folder)
{
    QDir().mkpath(folder);
    std::vector<QByteArray> seeds;
    for (int v = 0; v < 4; ++v)
        seeds.push_back(EncodeProject(Seed(v)));
    QByteArray newer = seeds[0];
    newer[1] = 12;
    seeds.push_back(newer);
    // Value 2 as a wide string, the one form the writer never makes.
    seeds.push_back(QByteArray::fromHex("020B120200000041002C20") + seeds[0].mid(4));
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        QFile f(QDir(folder).filePath(QStringLiteral("seed%1.pcf").arg(i)));
        if (!f.open(QIODevice::WriteOnly) || f.write(seeds[i]) != seeds[i].size())
            std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static const char flag[] = "--write-seeds=";
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], flag, sizeof flag - 1) == 0) {
            WriteSeeds(QString::fromLocal8Bit((*argv)[i] + sizeof flag - 1));
            std::exit(0);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ProjectData record;
    try {
        record = DecodeProject(bytes);
    } catch (const ProjectError&) {
        return 0;
    }
    BoxDocument model;
    model.ResetProject();
    model.ApplySizeClass();
    model.ApplyForm();
    ApplyProject(model, record);
    // What was applied must read back as a record again.
    const ProjectData again = CaptureProject(model, CoverPathsOf(record), record.OutputFolder);
    const ProjectData reread = DecodeProject(EncodeProject(again));
    if (reread.ImageWidth != again.ImageWidth || reread.Looks != again.Looks || !LookLimits::IsSampleCount(reread.Looks.Samples))
        std::abort();
    return 0;
}
