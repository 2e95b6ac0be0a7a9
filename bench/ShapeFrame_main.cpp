// One project rendered in-process (the command line's RenderBox) as the
// classic block and with every shape on, the looks off and on: prints each
// variant's frame (draw + read back) as the median of the runs, the variants
// taking turns in every round so that the machine's noise falls on all.
//   shape_frame PROJECT WIDTHxHEIGHT RUNS [--book-pages]
#include "cli/HeadlessBox.h"
#include "cli/HeadlessRender.h"
#include "document/ProjectOpen.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Variant {
    const char* Name;
    BoxShape Shape;
    BoxLooks Looks;
};

double FramePhases(const QStringList& lines)
{
    double ms = 0;
    for (const QString& line : lines) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 3)
            continue;
        const QString phase = words.mid(0, words.size() - 2).join(QLatin1Char(' '));
        if (phase == QLatin1String("draw") || phase == QLatin1String("read back"))
            ms += words[words.size() - 2].toDouble();
    }
    return ms;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4 || argc > 5 || (argc == 5 && std::strcmp(argv[4], "--book-pages") != 0)) {
        std::fprintf(stderr, "usage: shape_frame PROJECT WIDTHxHEIGHT RUNS [--book-pages]\n");
        return 2;
    }
    const QString project = QString::fromLocal8Bit(argv[1]);
    const QStringList size = QString::fromLatin1(argv[2]).split(QLatin1Char('x'));
    const int runs = std::max(1, std::atoi(argv[3]));
    BoxShape every;
    every.EdgeRadius = 100; // the largest radius: the most triangles
    every.BookPages = argc == 5;
    const BoxLooks looks{60, 50, 30, 50, false, 1};
    const Variant variants[] = {{"classic", {}, {}},
                                {"shapes", every, {}},
                                {"classic+looks", {}, looks},
                                {"shapes+looks", every, looks}};
    std::map<std::string, std::vector<double>> frames;
    for (int r = 0; r < runs; ++r)
        for (const Variant& v : variants) {
            HeadlessBox box;
            box.OpenProject(*ReadProjectFile(project));
            box.Document.Params.Looks = v.Looks;
            box.Document.Params.Shape = v.Shape;
            PendingCovers pending(box);
            RenderRequest request;
            request.Size = QSize(size.value(0).toInt(), size.value(1).toInt());
            PhaseClock clock(true);
            RenderBox(box, pending, request, clock);
            frames[v.Name].push_back(FramePhases(clock.Lines()));
        }
    std::printf("%-14s %10s   (median of %d runs, ms; shapes: edge radius 100%s)\n", "variant", "frame", runs,
                every.BookPages ? ", book pages" : "");
    for (const Variant& v : variants)
        std::printf("%-14s %10.1f\n", v.Name, Median(frames[v.Name]));
    const auto ratio = [&](const char* a, const char* b) { return Median(frames[a]) / Median(frames[b]); };
    std::printf("\nshapes / classic, looks off:  %.2fx (target at most 1.5x)\n", ratio("shapes", "classic"));
    std::printf("shapes / classic, looks on:   %.2fx (target at most 1.5x)\n", ratio("shapes+looks", "classic+looks"));
    return 0;
}
