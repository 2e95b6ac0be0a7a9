#pragma once
// "cubiform info": the 21 values of a project as one JSON object, keys in
// file order, values as stored.
#include "formats/ProjectFile.h"

#include <QByteArray>

QByteArray ProjectInfoJson(const ProjectData& data);
