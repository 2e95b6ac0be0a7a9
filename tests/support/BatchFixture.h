#pragma once
// A batch run as a script runs it, in a folder of its own: the fixture of
// the batch's tests, and what its plain progress said of each row.
#include "cli/CliRunner.h"
#include "formats/PictureWriter.h"
#include "support/TempFiles.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <map>
#include <set>

#include <csignal>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>


// Line number -> what the plain progress said of it ("ok", "skipped ...", "failed: ...").
inline std::map<int, QString> RowLines(const QString& err)
{
    static const QRegularExpression pattern(QStringLiteral("^line (\\d+): (?:.*?: )?(ok|skipped.*|failed: .*)$"),
                                            QRegularExpression::MultilineOption);
    std::map<int, QString> rows;
    for (auto it = pattern.globalMatch(err); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_TRUE(rows.emplace(m.captured(1).toInt(), m.captured(2)).second) << "line reported twice: " << m.captured(0).toStdString();
    }
    return rows;
}

class BatchTest : public TempFiles {
public:
    // A small JPEG cover of one colour with a stripe, painted here.
    QString Cover(const QString& name, QRgb colour, int size = 64)
    {
        QImage image(size, size, QImage::Format_RGBA8888);
        image.fill(colour);
        for (int y = 0; y < size / 4; ++y)
            for (int x = 0; x < size; ++x)
                image.setPixel(x, y, qRgb(20, 20, 20));
        const QString path = Path(name);
        Write(path, EncodeJpeg(RgbaRows::Of(image), 90, path));
        return path;
    }

    QString Manifest(const QString& name, const QByteArray& text)
    {
        const QString path = Path(name);
        Write(path, text);
        return path;
    }

    CliResult Batch(const QStringList& args) { return RunCubiform(QStringList{QStringLiteral("batch")} + args, dir.path()); }

    // Without the folder's record of what made each picture (and its lock).
    static QStringList WithoutRecord(QStringList names)
    {
        names.removeAll(QStringLiteral(".cubiform-batch.json"));
        names.removeAll(QStringLiteral(".cubiform-batch.lock"));
        return names;
    }

    QStringList Pictures(const QString& folder = QStringLiteral("out")) const
    {
        return WithoutRecord(QDir(Path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name));
    }

    // Starts "cubiform batch ARGS" without a display, to be stopped part way.
    void StartBatch(QProcess& process, const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(CUBIFORM_EXE), QStringList{QStringLiteral("batch")} + args);
        ASSERT_TRUE(process.waitForStarted());
    }

    // Pictures under out/ so far, and a wait (of at most 50 s) for `count` of them.
    int Written() const
    {
        return static_cast<int>(QDir(Path(QStringLiteral("out"))).entryList({QStringLiteral("*.png")}, QDir::Files).size());
    }
    void WaitForWritten(int count) const
    {
        QElapsedTimer waited;
        waited.start();
        while (Written() < count && waited.elapsed() < 50000)
            QThread::msleep(5);
    }

    // A manifest of `rows` rows drawing the two covers in turn at a few sizes.
    QString ManyRows(const QString& name, int rows, const QString& size = QStringLiteral("96x96"))
    {
        Cover(QStringLiteral("red.jpg"), qRgb(200, 30, 30));
        Cover(QStringLiteral("blue.jpg"), qRgb(30, 30, 200));
        QByteArray text = "front,form,size,output\n";
        for (int i = 0; i < rows; ++i)
            text += QStringLiteral("%1,%2,%3,out/%4.png\n")
                        .arg(i % 2 ? QStringLiteral("blue.jpg") : QStringLiteral("red.jpg"))
                        .arg(i % 3)
                        .arg(size)
                        .arg(i, 3, 10, QLatin1Char('0'))
                        .toUtf8();
        return Manifest(name, text);
    }
};

