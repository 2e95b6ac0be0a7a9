#pragma once
// What a command-line check throws, caught as values so that a test can
// compare the exit status and the text.
#include "engine/JobError.h"
#include "engine/RenderOptions.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

// Arguments as a command line writes them.
inline QStringList Args(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

// The exit status and text ParseRenderArguments fails with; 0 when it succeeds.
inline std::pair<int, QString> ParseFailure(const QStringList& args)
{
    try {
        ParseRenderArguments(args);
        return {0, {}};
    } catch (const JobError& e) {
        return {e.Status(), e.Text()};
    }
}

// The text of the JobError `f` throws, or "no error".
inline std::string CommandErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const JobError& e) {
        return e.Text().toStdString();
    }
    return "no error";
}
