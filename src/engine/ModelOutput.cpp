#include "engine/ModelOutput.h"

#include "engine/JobError.h"
#include "engine/HeadlessBox.h"
#include "formats/AtomicFile.h"
#include "render/ModelExport.h"

#include <stdexcept>

QByteArray ModelBytes(const HeadlessBox& box, QSize size, const QString& name)
{
    try {
        ModelCovers covers;
        for (int slot = 0; slot < SlotCount; ++slot)
            if (const QString file = box.CoverFileOf(slot); !file.isEmpty())
                covers.Slots[static_cast<std::size_t>(slot)] = ModelPictureOfFile(file);
        const float aspect = static_cast<float>(size.width()) / static_cast<float>(std::max(size.height(), 1));
        return ExportGlb(box.Document.Params, covers, aspect);
    } catch (const ImageError& e) {
        throw BadInput(QString::fromLocal8Bit(e.what()));
    } catch (const std::length_error& e) {
        throw BadInput(QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(e.what())));
    }
}

void WriteModel(const HeadlessBox& box, const QString& path, QSize size)
{
    const QByteArray bytes = ModelBytes(box, size, path);
    try {
        WriteFileAtomically(path, bytes);
    } catch (const ImageError& e) {
        throw BadInput(QString::fromLocal8Bit(e.what()));
    }
}
