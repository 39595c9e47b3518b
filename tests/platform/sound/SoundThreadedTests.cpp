// Several threads against one device: buffers created, written, steered and destroyed while
// the device mixes. Run under the thread sanitizer (suites named "Threaded").
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/sound/SoundSystem.h"
#include "platform/sound/SoundTestSupport.h"

namespace veltro::platform::sound {
namespace {

// One worker: a few buffers at a time, each written, played and steered, then replaced.
void Churn(SoundDevice& device, uint32_t seed, std::chrono::steady_clock::time_point until,
           std::atomic<int>& failures) {
  const WaveFormat formats[] = {MakePcmFormat(44100, 2, 16), MakePcmFormat(22050, 1, 16),
                                MakePcmFormat(11025, 1, 8), MakePcmFormat(48000, 2, 8)};
  std::vector<std::unique_ptr<SoundBuffer>> live(3);
  for (uint32_t round = 0; std::chrono::steady_clock::now() < until; ++round) {
    const uint32_t pick = (seed + round * 2654435761u) >> 7;
    auto& slot = live[pick % live.size()];
    const WaveFormat& format = formats[pick % 4];
    slot = device.CreateBuffer(format, format.blockAlign * (441 + pick % 3000));
    if (!slot) continue;
    const uint32_t size = slot->SizeBytes();
    if (uint8_t* all = slot->Lock(0, size)) {
      std::memset(all, static_cast<int>(pick & 0xFF), size);
      slot->Unlock();
    }
    slot->Play((pick & 1) != 0);
    for (auto& buffer : live) {
      if (!buffer) continue;
      buffer->SetVolume(-static_cast<int32_t>(pick % 3000));
      buffer->SetFrequency(8000 + pick % 90000);
      buffer->SetCurrentPosition(pick % buffer->SizeBytes());
      if (uint8_t* half = buffer->Lock(0, buffer->SizeBytes() / 2)) {
        half[0] = static_cast<uint8_t>(round);
        buffer->Unlock();
      }
      const uint32_t position = buffer->GetCurrentPosition();
      if (position >= buffer->SizeBytes() || position % buffer->Format().blockAlign != 0) {
        failures.fetch_add(1);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

TEST(SoundThreaded, BuffersChurnWhileNullOutputMixes) {
  SoundDevice device;
  ASSERT_TRUE(device.Open(SoundSystem::NullOutputGuid()));
  std::atomic<int> failures{0};
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::thread first([&] { Churn(device, 1, until, failures); });
  std::thread second([&] { Churn(device, 77, until, failures); });
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
  device.Close();
}

TEST(SoundThreaded, SetPositionWinsOverAnAdvanceInFlight) {
  SoundDevice device;
  ASSERT_TRUE(device.OpenManual());
  constexpr uint32_t kSecond = 44100 * 4;
  auto buffer = device.CreateBuffer(MakePcmFormat(44100, 2, 16), 60 * kSecond);
  uint8_t* all = buffer->Lock(0, buffer->SizeBytes());  // written, so every frame is mixed
  ASSERT_NE(all, nullptr);
  std::memset(all, 0x11, buffer->SizeBytes());
  buffer->Unlock();
  buffer->Play(true);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::vector<int16_t> out(2 * 1024);
    while (!stop.load()) device.Render(out.data(), 1024);
  });
  // Rewound to 0, the cursor only moves in whole 1024-frame chunks; an advance computed from
  // the odd "far" position and committed over the rewind would leave an odd frame count.
  // Once the mixer has moved on from the far position, its next chunk starts from there; a
  // short, varying busy pause puts the rewind in the middle of that chunk most of the time.
  constexpr uint32_t kFar = 30 * kSecond + 4;
  int violations = 0;
  for (int i = 0; i < 1000; ++i) {
    buffer->SetCurrentPosition(kFar);
    while (buffer->GetCurrentPosition() == kFar) std::this_thread::yield();
    const auto pauseEnd = std::chrono::steady_clock::now() + std::chrono::microseconds(i % 20);
    while (std::chrono::steady_clock::now() < pauseEnd) {
    }
    buffer->SetCurrentPosition(0);
    while (buffer->GetCurrentPosition() == 0) std::this_thread::yield();  // next commit
    if ((buffer->GetCurrentPosition() / 4) % 1024 != 0) ++violations;
  }
  stop.store(true);
  audio.join();
  EXPECT_EQ(violations, 0);
}

}  // namespace
}  // namespace veltro::platform::sound
