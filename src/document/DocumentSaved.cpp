// Whether the document holds changes a save would keep: the project's bytes
// now against those when it was last saved, opened or made new.
#include "document/BoxDocument.h"

#include "document/ProjectApply.h"

namespace {

QByteArray ProjectBytes(const BoxDocument& document)
{
    return EncodeProject(CaptureProject(document, CoverPathsOf(document), document.OutputFolder()));
}

} // namespace

void BoxDocument::SetOutputFolder(const QString& folder)
{
    if (folder == outputFolder_)
        return;
    outputFolder_ = folder;
    Changed(DocumentChange::Files);
}

void BoxDocument::MarkSaved()
{
    saved_ = ProjectBytes(*this);
}

bool BoxDocument::Modified() const
{
    return ProjectBytes(*this) != saved_;
}
