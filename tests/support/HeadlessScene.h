#pragma once
// The box drawn by the renderer in a headless context of side x side, with
// three empty slot textures showing the placeholders: what the GL tests of
// the drawing start from.
#include "document/BoxDocument.h"
#include "render/BoxRenderer.h"
#include "render/HeadlessContext.h"
#include "render/SceneDriver.h"
#include "render/GLTexture.h"
#include "support/Placeholders.h"

#include <gtest/gtest.h>

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>

struct HeadlessScene {
    std::unique_ptr<HeadlessContext> context; // outlives the textures below
    BoxRenderer renderer;
    SceneDriver driver;
    std::unique_ptr<GLTexture> slots[3];
    std::array<QImage, 3> thumbs = MakePlaceholderThumbnails();
    BoxDocument model;
    DrawFlags flags;

    // The context, the slots and a reset document; set the document up,
    // then Prepare.
    void Open(int side)
    {
        ASSERT_NO_THROW(context = std::make_unique<HeadlessContext>(side, side));
        for (auto& slot : slots)
            slot = std::make_unique<GLTexture>();
        model.ResetProject();
    }

    // The renderer's GL set up for the document, as the window does it.
    void Prepare(int side)
    {
        renderer.InitGL(driver, model.Params);
        renderer.PrepareGL(Textures(), {&thumbs[0], &thumbs[1], &thumbs[2]});
        driver.SetViewport(SystemGL(), side, side);
    }

    // The textures go while their context is still there.
    void Close()
    {
        for (auto& slot : slots)
            slot.reset();
    }

    SlotTextures Textures() { return {slots[0].get(), slots[1].get(), slots[2].get()}; }
};
