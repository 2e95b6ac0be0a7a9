// Whether the document holds changes a save would keep: the project's values
// now against those when it was last saved, opened or made new.
#include "document/BoxDocument.h"

#include "document/ProjectApply.h"

namespace {

ProjectData SavedValues(const BoxDocument& document)
{
    return CaptureProject(document, CoverPathsOf(document), document.OutputFolder());
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
    saved_ = SavedValues(*this);
}

bool BoxDocument::Modified() const
{
    return SavedValues(*this) != saved_;
}
