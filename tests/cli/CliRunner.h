#pragma once
// Runs the real cubiform program with no display, as a script would, and
// keeps what it said and how it ended.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

struct CliResult {
    int Status = -1;
    bool Crashed = false;
    QString Out;
    QString Err;
};

// Long enough for a command that really hangs to fail the test, not for
// sanitized code (several times slower) under load to be taken for one.
#if defined(__SANITIZE_ADDRESS__)
constexpr int CommandLimitMs = 300000;
#else
constexpr int CommandLimitMs = 60000;
#endif

// LeakSanitizer's own tracer now and then crashes at the exit of a process
// that used Mesa's threads, after the command's work is done; that is no
// leak (a leak reads "detected memory leaks"), and the command is run again.
inline bool LeakTracerCrashed(const QString& err)
{
    return err.contains(QLatin1String("LeakSanitizer has encountered a fatal error")) &&
           !err.contains(QLatin1String("detected memory leaks"));
}

inline CliResult RunCubiformOnce(const QStringList& arguments, const QString& workingFolder)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(CUBIFORM_EXE), arguments);
    CliResult r;
    if (!process.waitForFinished(CommandLimitMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "cubiform did not finish: " << arguments.join(' ').toStdString();
        return r;
    }
    r.Crashed = process.exitStatus() != QProcess::NormalExit;
    r.Status = process.exitCode();
    r.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

inline CliResult RunCubiform(const QStringList& arguments, const QString& workingFolder = QString())
{
    CliResult r = RunCubiformOnce(arguments, workingFolder);
    for (int again = 0; again < 3 && LeakTracerCrashed(r.Err); ++again)
        r = RunCubiformOnce(arguments, workingFolder);
    EXPECT_FALSE(r.Crashed) << arguments.join(' ').toStdString() << "\n" << r.Err.toStdString();
    return r;
}

// A test's default options, each with one value, less those `more` gives
// again, then `more`: an option is given once, as the command line wants.
inline QStringList OverriddenBy(const QStringList& defaults, const QStringList& more)
{
    QStringList args;
    for (qsizetype i = 0; i + 1 < defaults.size(); i += 2)
        if (!more.contains(defaults[i]))
            args << defaults[i] << defaults[i + 1];
    return args + more;
}

// Runs a render that must succeed and returns the picture it wrote.
inline QImage RenderPicture(const QStringList& arguments, const QString& output)
{
    const CliResult r = RunCubiform(QStringList{QStringLiteral("render")} + arguments +
                                    QStringList{QStringLiteral("-o"), output});
    EXPECT_EQ(r.Status, 0) << arguments.join(' ').toStdString() << "\n" << r.Err.toStdString();
    return QImage(output);
}
