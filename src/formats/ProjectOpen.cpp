#include "formats/ProjectOpen.h"

#include "document/BoxDocument.h"
#include "document/ProjectApply.h"

#include <QFileInfo>

std::optional<OpenedProject> ReadProjectFile(const QString& path)
{
    const std::optional<QByteArray> bytes = LoadProjectBytes(path);
    if (!bytes)
        return std::nullopt;
    return OpenedProject{DecodeProject(*bytes), QFileInfo(path).absolutePath()};
}

void OpenProjectInto(const OpenedProject& project, BoxDocument& document)
{
    const CoverPaths paths = CoverPathsOf(project.Data);
    for (std::size_t i = 0; i < paths.size(); ++i)
        document.SetCover(static_cast<int>(i), {paths[i], project.Folder});
    document.SetOutputFolder(project.Data.OutputFolder);
    ApplyProject(document, project.Data);
}
