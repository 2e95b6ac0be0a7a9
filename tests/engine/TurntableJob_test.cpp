// The turntable's angles, and the frames of an earlier turn replaced all
// together or not at all.
#include "engine/TurntableFrames.h"
#include "engine/TurntableJob.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

TEST(TurntableTest, AnglesGoOnceAroundAndStayBelowAFullTurn)
{
    EXPECT_EQ(TurntableAngle(0.0f, 0, 8), 0.0f);
    EXPECT_EQ(TurntableAngle(0.0f, 7, 8), 315.0f);
    EXPECT_EQ(TurntableAngle(300.0f, 3, 8), 75.0f);
    EXPECT_EQ(TurntableAngle(-30.0f, 1, 4), 60.0f);
    for (int k = 0; k < 720; ++k)
        EXPECT_LT(TurntableAngle(359.9f, k, 720), 360.0f);
}

// Frames 0 and 2 of an earlier turn are there, frame 1 is not; the move
// that fails is counted from 1: (old 0 aside, new 0 in, new 1 in, old 2
// aside, new 2 in), then the steps that undo them, last first.
TEST(TurntableTest, AFailedMoveTakesTheNewFramesOutAndPutsTheOldOnesBack)
{
    using Files = std::map<QString, QByteArray>;
    const Files earlier = {{QStringLiteral("f-0.png"), "old 0"}, {QStringLiteral("f-2.png"), "old 2"}};
    const Files turn = {{QStringLiteral("f-0.png"), "new 0"}, {QStringLiteral("f-1.png"), "new 1"},
                        {QStringLiteral("f-2.png"), "new 2"}};
    const struct {
        std::set<int> failing;
        QString target; // the frame that could not be written; empty: none failed
        Files after, aside; // the frames' folder, and what waits in the aside folder
    } cases[] = {
        {{}, {}, turn, earlier}, // the replaced frames go with the hidden folder
        {{1}, QStringLiteral("f-0.png"), earlier, {}},
        {{2}, QStringLiteral("f-0.png"), earlier, {}},
        {{3}, QStringLiteral("f-1.png"), earlier, {}},
        {{4}, QStringLiteral("f-2.png"), earlier, {}},
        {{5}, QStringLiteral("f-2.png"), earlier, {}},
        // Old 2 back, new 1 out, then old 0 cannot be put back: it waits, whole.
        {{5, 8}, QStringLiteral("f-2.png"), {{QStringLiteral("f-0.png"), "new 0"}, {QStringLiteral("f-2.png"), "old 2"}},
         {{QStringLiteral("f-0.png"), "old 0"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        QTemporaryDir dir;
        const QDir folder(dir.path()), staged(dir.filePath(QStringLiteral(".staged"))),
            aside(dir.filePath(QStringLiteral(".staged/.replaced")));
        ASSERT_TRUE(QDir().mkpath(aside.path()));
        const auto put = [](const QDir& where, const Files& files) {
            for (const auto& [name, bytes] : files) {
                QFile f(where.filePath(name));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
            }
        };
        const auto filesIn = [](const QDir& where) {
            Files files;
            for (const QString& name : where.entryList(QDir::Files)) {
                QFile f(where.filePath(name));
                files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
            }
            return files;
        };
        put(folder, earlier);
        put(staged, turn);
        int calls = 0;
        const std::optional<FrameSwapError> failure = SwapInFrames(
            staged.path(), folder.path(), QStringList{QStringLiteral("f-0.png"), QStringLiteral("f-1.png"), QStringLiteral("f-2.png")},
            aside.path(), [&](const QString& from, const QString& to, QString& why) {
                if (c.failing.count(++calls)) {
                    why = QStringLiteral("refused");
                    return false;
                }
                return RenameFile(from, to, why);
            });
        EXPECT_EQ(failure ? QFileInfo(failure->Target).fileName() : QString(), c.target);
        EXPECT_EQ(filesIn(folder), c.after);
        EXPECT_EQ(filesIn(aside), c.aside);
        if (failure) {
            EXPECT_EQ(failure->NotRestored.size(), static_cast<qsizetype>(c.aside.size())); // each one named
        }
    }
}

} // namespace
