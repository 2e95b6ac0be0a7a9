// One project rendered in-process as the classic block and with every shape
// on, the looks off and on: prints each variant's frame (draw + read back)
// as the median of the runs, the variants taking turns in every round so
// that the machine's noise falls on all. The frames come from one session
// (one context, the covers read once), as a batch or a turntable draws them,
// after a first round that compiles the GL's shaders; the frame's CPU time
// (all threads) is printed beside its wall time, as it suffers less from
// other work on the machine.
//   shape_frame PROJECT WIDTHxHEIGHT RUNS [--book-pages]
// With --book-pages every variant is the project's covers on the hard-cover
// book kind.
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/RenderSession.h"
#include "formats/ProjectOpen.h"

#include <sys/resource.h>

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

double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
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
    std::map<std::string, std::vector<double>> frames, cpu;
    RenderSession session;
    for (int r = 0; r <= runs; ++r)
        for (const Variant& v : variants) {
            HeadlessBox box;
            box.OpenProject(*ReadProjectFile(project));
            if (every.BookPages) // pages only on a book kind: the hard cover, classic or with pages
                box.Document.SetForm(8);
            box.Document.Params.Looks = v.Looks;
            box.Document.Params.Shape = v.Shape;
            RenderRequest request;
            request.Size = QSize(size.value(0).toInt(), size.value(1).toInt());
            PhaseClock clock(true);
            const double before = CpuMs();
            session.Render(box, request, clock);
            const double used = CpuMs() - before;
            if (r == 0)
                continue; // the shaders are compiled in this round
            frames[v.Name].push_back(FramePhases(clock.Lines()));
            cpu[v.Name].push_back(used);
        }
    std::printf("%-14s %10s %10s   (median of %d runs, ms; shapes: edge radius 100%s)\n", "variant",
                "frame", "CPU", runs, every.BookPages ? ", book pages" : "");
    for (const Variant& v : variants)
        std::printf("%-14s %10.1f %10.1f\n", v.Name, Median(frames[v.Name]), Median(cpu[v.Name]));
    const auto ratio = [&](std::map<std::string, std::vector<double>>& m, const char* a,
                           const char* b) { return Median(m[a]) / Median(m[b]); };
    std::printf("\nshapes / classic, looks off:  %.2fx frame, %.2fx CPU (target at most 1.5x)\n",
                ratio(frames, "shapes", "classic"), ratio(cpu, "shapes", "classic"));
    std::printf("shapes / classic, looks on:   %.2fx frame, %.2fx CPU (target at most 1.5x)\n",
                ratio(frames, "shapes+looks", "classic+looks"),
                ratio(cpu, "shapes+looks", "classic+looks"));
    return 0;
}
