// One project rendered in-process (the command line's RenderBox) with the
// looks off and on, at the same sample count, and with more samples: prints
// each variant's frame (draw + read back) and cover phase as medians.
//   looks_frame PROJECT WIDTHxHEIGHT RUNS
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "formats/ProjectOpen.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Variant {
    const char* Name;
    BoxLooks Looks;
};

std::map<std::string, double> Phases(const QStringList& lines)
{
    std::map<std::string, double> out;
    for (const QString& line : lines) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 3)
            out[words.mid(0, words.size() - 2).join(QLatin1Char(' ')).toStdString()] = words[words.size() - 2].toDouble();
    }
    return out;
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
    if (argc != 4) {
        std::fprintf(stderr, "usage: looks_frame PROJECT WIDTHxHEIGHT RUNS\n");
        return 2;
    }
    const QString project = QString::fromLocal8Bit(argv[1]);
    const QStringList size = QString::fromLatin1(argv[2]).split(QLatin1Char('x'));
    const int runs = std::max(1, std::atoi(argv[3]));
    const BoxLooks all{60, 50, 30, 50, true, 1};
    const auto with = [](BoxLooks l, int samples) {
        l.Samples = samples;
        return l;
    };
    const Variant variants[] = {{"classic", {}},           {"looks", all},
                                {"light", {0, 50, 0, 50, false, 1}}, {"shadow", {60, 50, 0, 0, false, 1}},
                                {"reflection", {0, 50, 30, 0, false, 1}}, {"smooth", {0, 50, 0, 0, true, 1}},
                                {"classic x4", with({}, 4)}, {"looks x4", with(all, 4)},
                                {"classic x16", with({}, 16)}, {"looks x16", with(all, 16)}};
    std::printf("%-12s %12s %12s   (median of %d runs, ms)\n", "variant", "frame", "covers", runs);
    std::map<std::string, double> frame;
    for (const Variant& v : variants) {
        std::vector<double> frames, covers;
        for (int r = 0; r < runs; ++r) {
            HeadlessBox box;
            box.OpenProject(*ReadProjectFile(project));
            box.Document.Params.Looks = v.Looks;
            PendingCovers pending(box);
            RenderRequest request;
            request.Size = QSize(size.value(0).toInt(), size.value(1).toInt());
            request.Samples = v.Looks.Samples;
            PhaseClock clock(true);
            RenderBox(box, pending, request, clock);
            auto phases = Phases(clock.Lines());
            frames.push_back(phases["draw"] + phases["read back"]);
            covers.push_back(phases["covers"]);
        }
        frame[v.Name] = Median(frames);
        std::printf("%-12s %12.1f %12.1f\n", v.Name, Median(frames), Median(covers));
    }
    std::printf("\nlooks on / off, 1 sample:   %.2fx (target at most 3x)\n", frame["looks"] / frame["classic"]);
    std::printf("looks on / off, 4 samples:  %.2fx (target at most 3x)\n", frame["looks x4"] / frame["classic x4"]);
    std::printf("16 samples / 1, looks off:  %.2fx (anti-aliasing, no target)\n", frame["classic x16"] / frame["classic"]);
    std::printf("16 samples / 1, looks on:   %.2fx (anti-aliasing, no target)\n", frame["looks x16"] / frame["looks"]);
    return 0;
}
