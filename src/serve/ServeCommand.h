#pragma once
// "cubiform serve": box shots over HTTP until SIGTERM or SIGINT.
#include <QStringList>

#include <cstdio>

// Exit status 0 after an orderly stop. Throws JobError for wrong use
// and for an address it cannot listen on.
int RunServe(const QStringList& arguments, std::FILE* err);
