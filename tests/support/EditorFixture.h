#pragma once
// The editor through a real effect: a Ringstill at 48 kHz (mono unless a test prepares
// it otherwise), the cairo backend, the real layout, a fake window that records the
// addresses it is asked to open, and offscreen drawing. Blocks are processed by hand
// to apply commands and publish the views; idle ticks are called by hand.
#include "editor/EditorTags.h"
#include "editor/RingstillEditor.h"
#include "effect/Ringstill.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"
#include "graphics/CairoBackend.h"
#include "graphics/CairoRenderer.h"
#include "graphics/OffscreenSnapshot.h"
#include "tests/support/Pixels.h"
#include "tests/support/ToolkitTestDelegate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ringstill::test {

inline constexpr int kBlock = 512;

class EditorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        InstallEditor(fx, fx.Feed(), igraphics::CairoGraphicsBackend());
        Prepare(48000.0, 1);
        ASSERT_NE(OpenEditor(), nullptr);
        Process();
        Draw();
    }

    void TearDown() override { fx.CloseEditor(); }

    // What a host's setupProcessing does: rate, block size, channels, then a DSP reset.
    void Prepare(double rate, int channels)
    {
        fx.SetSampleRate(rate);
        fx.SetBlockCapacity(kBlock);
        fx.CreateLatencyDelay();
        in.assign(static_cast<std::size_t>(kBlock), 0.0);
        out.assign(static_cast<std::size_t>(kBlock), 0.0);
        in2.assign(static_cast<std::size_t>(kBlock), 0.0);
        out2.assign(static_cast<std::size_t>(kBlock), 0.0);
        fx.ConnectChannel(iplug::kInput, 0, in.data());
        fx.ConnectChannel(iplug::kOutput, 0, out.data());
        if (channels > 1)
        {
            fx.ConnectChannel(iplug::kInput, 1, in2.data());
            fx.ConnectChannel(iplug::kOutput, 1, out2.data());
        }
        else
        {
            fx.DisconnectChannel(iplug::kInput, 1);
            fx.DisconnectChannel(iplug::kOutput, 1);
        }
        fx.ResetDsp();
    }

    igraphics::IGraphics* OpenEditor()
    {
        ui = fx.OpenEditor();
        if (ui != nullptr)
            ui->SetPlatformWindow(&window);
        return ui;
    }

    void CloseEditor()
    {
        fx.CloseEditor();
        ui = nullptr;
    }

    void Process() { fx.ProcessAudioBlock(fx.InputPointers(), fx.OutputPointers(), kBlock); }
    void Draw() { ASSERT_TRUE(igraphics::DrawOffscreen(*ui, target)); }
    void AddManual(float f, float db = -18.0f, float q = 25.0f)
    {
        PushNotchCommand(fx.Feed(), NotchCommandType::Add, 0, f, db, q);
        Process();
    }
    // Writes one published view as the detector would leave it (manual byte clear for auto).
    void PublishView(int slot, const NotchView& view)
    {
        while (fx.Feed().viewLock.exchange(1) != 0) {}
        fx.Feed().notchViews[static_cast<std::size_t>(slot)] = view;
        fx.Feed().viewLock.store(0);
    }
    int Pending() const { return fx.Feed().commands.ElementsAvailable(); }
    // The commands waiting for the next block, oldest first.
    std::vector<NotchCommand> Waiting() const
    {
        std::vector<NotchCommand> waiting;
        fx.Feed().commands.ForEachWaiting([&](const NotchCommand& c) { waiting.push_back(c); });
        return waiting;
    }
    NotchCommand LastCommand() const
    {
        const std::vector<NotchCommand> waiting = Waiting();
        return waiting.empty() ? NotchCommand{} : waiting.back();
    }
    // A press and release through the context, as the window delivers them.
    void Click(float x, float y)
    {
        ui->OnMouseDownEditor(x, y, left);
        ui->OnMouseUpEditor(x, y, left);
    }
    template <typename T>
    T* Tagged(int tag)
    {
        return dynamic_cast<T*>(ui->GetControlWithTag(tag));
    }
    igraphics::IControl* Tagged(int tag) { return ui->GetControlWithTag(tag); }
    std::string TextOf(int tag) { return Tagged<igraphics::ITextControl>(tag)->GetText(); }
    std::vector<igraphics::IRECT> AllRects()
    {
        std::vector<igraphics::IRECT> rects;
        ui->ForAllControls([&](igraphics::IControl& c) { rects.push_back(c.GetRECT()); });
        return rects;
    }
    bool HasRect(const igraphics::IRECT& r)
    {
        for (const igraphics::IRECT& x : AllRects())
            if (std::fabs(x.left - r.left) < 0.01f && std::fabs(x.top - r.top) < 0.01f
                && std::fabs(x.right - r.right) < 0.01f && std::fabs(x.bottom - r.bottom) < 0.01f)
                return true;
        return false;
    }
    // The editor's picture is opaque: its colour is what counts.
    testing::AssertionResult PixelNear(int x, int y, const igraphics::IColor& want, int tol = 6)
    {
        return OpaquePixelIs(target, x, y, want, tol);
    }
    void WritePng(const char* name) { EXPECT_TRUE(target.WritePng(OutputPath(name).c_str())); }

    // Declared first so that it outlives the context the effect owns.
    FakeWindow window;
    Ringstill fx;
    std::vector<double> in, out, in2, out2;
    igraphics::IGraphics* ui = nullptr;
    igraphics::CairoRenderer target;
    igraphics::IMouseMod left{true};
};

inline void ExpectRect(const igraphics::IRECT& r, float l, float t, float rt, float b)
{
    EXPECT_NEAR(r.left, l, 0.01f);
    EXPECT_NEAR(r.top, t, 0.01f);
    EXPECT_NEAR(r.right, rt, 0.01f);
    EXPECT_NEAR(r.bottom, b, 0.01f);
}

} // namespace ringstill::test
