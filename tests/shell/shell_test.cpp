// The shell in-process on a headless device: the clock mapping, the main
// loop's ways out, the lost-device cycle and the display presets.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <bit>
#include <cmath>

#include "engine/engine.h"
#include "shell/shell.h"
#include "tests/support/headless.h"

namespace {

// Start-up as the program does it, with the soundtrack's position driven by
// the test instead of a device.
class ShellTest : public testing::Test {
 protected:
  void SetUp() override {
    UseHeadlessDrivers();
    SoundtrackClockSource = SoundtrackClock::Manual;
    ASSERT_TRUE(StartUp(&window));
  }
  void TearDown() override {
    ShutDown();
    EXPECT_EQ(LiveGpuObjectCount(), 0u) << "shut-down left objects alive";
  }
  static void PlayAt(double seconds) {
    AudioSetManualPosition(seconds);
    UpdateDemoClock();
  }
  WindowHandle window = nullptr;
};

TEST_F(ShellTest, TrackPositionMapsToDemoTime) {
  const double unit = 960.0 / 115.0;
  struct Case {
    double seconds;
    double demoTime;
  };
  const Case cases[] = {
      {0.0, 0.0},
      {17.0, 17.0 / unit},                        // just over 2.03
      {34.229, 34.229 / unit},                    // just over 4.1, before the jump
      {34.23, 5.0},                               // the jump
      {34.23 + 8.347826, 6.0},
      {34.23 + 12.8 * 8.347826, 17.8},            // the end of the show
  };
  for (const Case& c : cases) {
    PlayAt(c.seconds);
    EXPECT_NEAR(DemoTime, c.demoTime, 2e-5) << "at " << c.seconds << " s";
  }
  PlayAt(34.229);
  EXPECT_GT(DemoTime, 4.1f);
  EXPECT_LT(DemoTime, 4.11f);
  PlayAt(34.23);
  EXPECT_EQ(DemoTime, 5.0f) << "34.23 s is exactly the start of unit 5";
}

TEST_F(ShellTest, ClockConstantsHaveTheirBits) {
  EXPECT_EQ(std::bit_cast<uint32_t>(UnitSeconds), 0x410590B2u);
  EXPECT_EQ(std::bit_cast<uint32_t>(SecondPartStart), 0x4208EB85u);
  EXPECT_FLOAT_EQ(UnitSeconds, 8.347826f);
  EXPECT_FLOAT_EQ(SecondPartStart, 34.23f);
}

TEST_F(ShellTest, EscapeEndsTheLoopAndOtherKeysAreSwallowed) {
  InjectMessage(Message{window, MsgKeyDown, 'A', 0});
  InjectMessage(Message{window, MsgKeyDown, VkSpace, 0});
  InjectMessage(Message{window, MsgKeyDown, VkEscape, 0});
  RunMainLoop();
  // The loop took the three keys and the quit message, and nothing else is
  // left: the other keys posted nothing.
  Message left;
  EXPECT_FALSE(PeekMessage(&left, true));
  EXPECT_TRUE(IsAppWindowAlive(window));
  EXPECT_EQ(MainWindowProc(window, MsgKeyDown, 'B', 0), 0);
  EXPECT_FALSE(PeekMessage(&left, true)) << "a key other than Escape must not post anything";
}

TEST_F(ShellTest, CloseBoxEndsTheLoopThroughDestroy) {
  // What the window system sends when the close box is clicked.
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.windowID = SDL_GetWindowID(SdlWindowOf(window));
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  RunMainLoop();
  EXPECT_FALSE(IsAppWindowAlive(window));
}

TEST_F(ShellTest, LoopDrawsWhileTheQueueIsEmpty) {
  const uint64_t before = FramesDrawn;
  PlayAt(10.0);
  // Three frames, then Escape: the keys are taken one per pass, frames only
  // when nothing waits.
  int frames = 0;
  while (FramesDrawn - before < 3 && frames++ < 100) TimelineDirector();
  EXPECT_EQ(FramesDrawn - before, 3u);
  InjectMessage(Message{window, MsgKeyDown, VkEscape, 0});
  RunMainLoop();
  EXPECT_EQ(FramesDrawn - before, 3u) << "a pass that takes a message draws no frame";
}

TEST_F(ShellTest, EndTimeAndNaNEndTheLoopWithoutAnotherFrame) {
  PlayAt(34.23 + 12.8 * 8.347826 + 0.01);
  ASSERT_GE(DemoTime, DemoEndTime);
  uint64_t before = FramesDrawn;
  RunMainLoop();
  EXPECT_EQ(FramesDrawn, before);

  DemoTime = std::nanf("");
  EXPECT_FALSE(ShowIsRunning());
  before = FramesDrawn;
  RunMainLoop();
  EXPECT_EQ(FramesDrawn, before);
}

TEST_F(ShellTest, LostDeviceSkipsFramesHoldsTheClockAndResets) {
  RenderTarget* target = LookupRenderTarget(TargetHsA8R8G8B8, -2, -2, FormatA8R8G8B8);
  PlayAt(20.0);
  TimelineDirector();
  const float timeBefore = DemoTime;
  const uint64_t framesBefore = FramesDrawn;

  Device->SimulateWindowAway(true);
  AudioSetManualPosition(21.0);
  TimelineDirector();  // sees the loss: releases and skips
  EXPECT_TRUE(DeviceLost);
  EXPECT_EQ(target->surface, nullptr);
  EXPECT_EQ(target->texture, nullptr);
  AudioSetManualPosition(23.0);
  TimelineDirector();  // still lost: skipped, clock not read
  EXPECT_EQ(FramesDrawn, framesBefore);
  EXPECT_EQ(DemoTime, timeBefore);

  Device->SimulateWindowAway(false);
  TimelineDirector();  // "not reset": reset, re-create, and this frame is drawn
  EXPECT_FALSE(DeviceLost);
  EXPECT_EQ(FramesDrawn, framesBefore + 1);
  ASSERT_NE(target->surface, nullptr);
  EXPECT_EQ(target->desc.width, BackBufferSize.width / 2);
  EXPECT_NEAR(FrameDelta, 3.0f, 1e-4);
  EXPECT_NEAR(DemoTime - timeBefore, 3.0 / 8.347826, 1e-4);
}

TEST_F(ShellTest, ShutDownWhileLostReleasesEverythingOnce) {
  LookupRenderTarget(TargetFsR32F, -1, -1, FormatR32F);
  LookupRenderTarget(TargetFsD24S8, -1, -1, FormatD24S8);
  TimelineDirector();
  Device->SimulateWindowAway(true);
  TimelineDirector();
  ASSERT_TRUE(DeviceLost);
  // TearDown shuts down now and checks that no object is left.
}

TEST(ShellFrame, BackBufferUVTransformForAnOddClientArea) {
  Matrix uv;
  BuildUVTransform(&uv, 1016, 734);
  const float expected[4][4] = {
      {0.5f, 0, 0, 0}, {0, -0.5f, 0, 0}, {0, 0, 1, 0}, {0.5f + 0.5f / 1016, 0.5f + 0.5f / 734, 0, 1}};
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) EXPECT_EQ(uv.m[row][column], expected[row][column]);
}

TEST(ShellFrame, BeginFrameReadsTheBackBufferAndEndFrameDropsIt) {
  ASSERT_TRUE(OpenHeadlessDevice());
  BeginFrame();
  ASSERT_NE(FrameBackBuffer, nullptr);
  ASSERT_NE(FrameDepthSurface, nullptr);
  EXPECT_EQ(BackBufferSize.width, 1024u);  // the offscreen driver's client area
  EXPECT_EQ(BackBufferSize.height, 768u);
  EXPECT_EQ(BackBufferUVTransform.m[3][0], 0.5f + 0.5f / 1024);
  EndFrame();
  EXPECT_EQ(FrameBackBuffer, nullptr);
  EXPECT_EQ(FrameDepthSurface, nullptr);
  CloseHeadlessDevice();
  EXPECT_EQ(LiveGpuObjectCount(), 0u);
}

std::string PresetName(const testing::TestParamInfo<DisplayPreset>& info) {
  const char* const names[] = {"Window", "FullScreen1280", "FullScreen1024", "Desktop"};
  return names[static_cast<int>(info.param)];
}

// Each preset's back buffer, made on the program's window.
class ShellPreset : public testing::TestWithParam<DisplayPreset> {};

TEST_P(ShellPreset, BackBufferHasThePresetsSize) {
  WindowHandle window = nullptr;
  ASSERT_TRUE(OpenHeadlessDevice(&window));
  CloseHeadlessDevice();
  PresentParameters params;
  FillPresentParams(GetParam(), &params);
  GraphicsSystem* system = CreateGraphicsSystem(0);
  GpuDevice* device = nullptr;
  ASSERT_EQ(system->CreateDevice(DefaultAdapter, DeviceTypeHardware, window, CreateHardwareVertexProcessing, &params,
                                 &device),
            ResultOk);
  Surface* backBuffer = nullptr;
  device->GetRenderTarget(0, &backBuffer);
  SurfaceDesc desc;
  backBuffer->GetDesc(&desc);
  Rect desktop;
  GetDesktopRect(&desktop);
  switch (GetParam()) {
    case DisplayPreset::Window:
      EXPECT_TRUE(params.windowed);
      EXPECT_EQ(params.presentationInterval, PresentIntervalImmediate);
      EXPECT_EQ(desc.width, 1024u);  // the client area: the offscreen driver draws no frame
      EXPECT_EQ(desc.height, 768u);
      break;
    case DisplayPreset::FullScreen1280:
      EXPECT_EQ(desc.width, 1280u);
      EXPECT_EQ(desc.height, 1024u);
      break;
    case DisplayPreset::FullScreen1024:
      EXPECT_EQ(desc.width, 1024u);
      EXPECT_EQ(desc.height, 768u);
      break;
    case DisplayPreset::Desktop:
      EXPECT_EQ(desc.width, uint32_t(desktop.right));
      EXPECT_EQ(desc.height, uint32_t(desktop.bottom));
      break;
  }
  if (GetParam() != DisplayPreset::Window) {
    EXPECT_FALSE(params.windowed);
    EXPECT_EQ(params.presentationInterval, PresentIntervalDefault);
  }
  EXPECT_EQ(desc.format, FormatA8R8G8B8);
  backBuffer->Release();
  device->Release();
  system->Release();
  EXPECT_EQ(LiveGpuObjectCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(AllFour, ShellPreset,
                         testing::Values(DisplayPreset::Window, DisplayPreset::FullScreen1280,
                                         DisplayPreset::FullScreen1024, DisplayPreset::Desktop),
                         PresetName);

// In a full-screen preset the window going away loses the device: "lost"
// while away, "not reset" once back, and a reset fails while a default-pool
// target lives.
TEST(ShellDevice, FullScreenLossFollowsTheWindow) {
  WindowHandle window = nullptr;
  ASSERT_TRUE(OpenHeadlessDevice(&window));
  CloseHeadlessDevice();
  PresentParameters params;
  FillPresentParams(DisplayPreset::FullScreen1024, &params);
  GraphicsSystem* system = CreateGraphicsSystem(0);
  GpuDevice* device = nullptr;
  ASSERT_EQ(system->CreateDevice(DefaultAdapter, DeviceTypeHardware, window, 0, &params, &device), ResultOk);
  EXPECT_EQ(device->TestCooperativeLevel(), ResultOk);

  SDL_Event away{};
  away.type = SDL_WINDOWEVENT;
  away.window.windowID = SDL_GetWindowID(SdlWindowOf(window));
  away.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&away);
  Message message;
  while (PeekMessage(&message, true)) DispatchMessage(&message);
  EXPECT_EQ(device->TestCooperativeLevel(), ResultDeviceLost);
  EXPECT_EQ(device->Reset(&params), ResultDeviceLost);

  SDL_Event back = away;
  back.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&back);
  while (PeekMessage(&message, true)) DispatchMessage(&message);
  EXPECT_EQ(device->TestCooperativeLevel(), ResultDeviceNotReset);

  Surface* depth = nullptr;
  device->CreateDepthStencilSurface(64, 64, FormatD24S8, MultiSampleNone, 0, true, &depth, nullptr);
  EXPECT_EQ(device->Reset(&params), ResultInvalidCall) << "a live default-pool surface must block the reset";
  depth->Release();
  EXPECT_EQ(device->Reset(&params), ResultOk);
  EXPECT_EQ(device->TestCooperativeLevel(), ResultOk);
  device->Release();
  system->Release();
  EXPECT_EQ(LiveGpuObjectCount(), 0u);
}

}  // namespace
