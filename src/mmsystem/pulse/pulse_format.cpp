// Wave formats and volumes between the service and the sound server.
#include "mmsystem/pulse/pulse_format.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "mmsystem/wave_format.h"

namespace pulse {

namespace {

// Which level a channel follows: 0 left, 1 right, 2 the louder of both.
int sideOf(pa_channel_position_t position) {
  switch (position) {
    case PA_CHANNEL_POSITION_FRONT_LEFT:
    case PA_CHANNEL_POSITION_REAR_LEFT:
    case PA_CHANNEL_POSITION_SIDE_LEFT:
    case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
    case PA_CHANNEL_POSITION_TOP_FRONT_LEFT:
    case PA_CHANNEL_POSITION_TOP_REAR_LEFT: return 0;
    case PA_CHANNEL_POSITION_FRONT_RIGHT:
    case PA_CHANNEL_POSITION_REAR_RIGHT:
    case PA_CHANNEL_POSITION_SIDE_RIGHT:
    case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
    case PA_CHANNEL_POSITION_TOP_FRONT_RIGHT:
    case PA_CHANNEL_POSITION_TOP_REAR_RIGHT: return 1;
    default: return 2;
  }
}

}  // namespace

bool sampleSpec(const WAVEFORMATEX& format, pa_sample_spec& samples, pa_channel_map& map) {
  const std::optional<WaveSample> sample = waveSampleOf(format);
  if (!sample) return false;
  switch (*sample) {
    case WaveSample::U8: samples.format = PA_SAMPLE_U8; break;
    case WaveSample::S16: samples.format = PA_SAMPLE_S16LE; break;
    case WaveSample::S24: samples.format = PA_SAMPLE_S24LE; break;
    case WaveSample::S32: samples.format = PA_SAMPLE_S32LE; break;
    case WaveSample::F32: samples.format = PA_SAMPLE_FLOAT32LE; break;
  }
  if (format.nChannels != 1 && format.nChannels != 2) return false;
  samples.channels = static_cast<uint8_t>(format.nChannels);
  samples.rate = format.nSamplesPerSec;
  if (!pa_sample_spec_valid(&samples)) return false;
  if (format.nChannels == 1)
    pa_channel_map_init_mono(&map);
  else
    pa_channel_map_init_stereo(&map);
  return true;
}

pa_volume_t toVolume(DWORD level) {
  const double scaled = std::min<DWORD>(level, 65535) * static_cast<double>(PA_VOLUME_NORM) / 65535.0;
  return static_cast<pa_volume_t>(std::nearbyint(scaled));
}

DWORD toLevel(pa_volume_t volume) {
  const double scaled = std::min<pa_volume_t>(volume, PA_VOLUME_NORM) * 65535.0 / static_cast<double>(PA_VOLUME_NORM);
  return static_cast<DWORD>(std::nearbyint(scaled));
}

std::array<DWORD, 2> levels(const pa_cvolume& volume, const pa_channel_map& map) {
  std::array<DWORD, 2> result{0, 0};
  bool haveRight = false;
  for (unsigned i = 0; i < volume.channels; ++i) {
    const pa_channel_position_t position = i < map.channels ? map.map[i] : PA_CHANNEL_POSITION_MONO;
    if (i == 0 || position == PA_CHANNEL_POSITION_FRONT_LEFT) result[0] = toLevel(volume.values[i]);
    if (position == PA_CHANNEL_POSITION_FRONT_RIGHT) {
      result[1] = toLevel(volume.values[i]);
      haveRight = true;
    }
  }
  if (!haveRight) result[1] = result[0];
  return result;
}

pa_cvolume volumeFor(DWORD left, DWORD right, const pa_channel_map& map) {
  pa_cvolume volume;
  pa_cvolume_init(&volume);
  volume.channels = map.channels;
  for (unsigned i = 0; i < map.channels; ++i) {
    const int side = sideOf(map.map[i]);
    volume.values[i] = toVolume(side == 0 ? left : side == 1 ? right : std::max(left, right));
  }
  return volume;
}

}  // namespace pulse
