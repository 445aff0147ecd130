// What the pulse driver translates between the service's records and the sound server's:
// wave formats to sample specifications, and the service's 0..65535 volumes to the
// server's per-channel volumes (linear, 65535 = the server's normal volume, 100 %).
#pragma once

#include <pulse/channelmap.h>
#include <pulse/sample.h>
#include <pulse/volume.h>

#include <array>

#include "mmsystem/mmsystem.h"

namespace pulse {

// The server's sample specification for `format` (8-bit unsigned, 16-bit, 24-bit packed
// and 32-bit integer little-endian, 32-bit float; mono or stereo; in any record
// wave_format.h reads), with the matching channel map. False when the record's fields do
// not agree, or the rate is out of the server's range.
bool sampleSpec(const WAVEFORMATEX& format, pa_sample_spec& samples, pa_channel_map& map);

// 0..65535 to the server's volume and back, linear and rounded to nearest (a volume above
// 100 % reads as 65535).
pa_volume_t toVolume(DWORD level);
DWORD toLevel(pa_volume_t volume);

// The left and right level of a volume: the first channel (or front left) and the front
// right one, which is the left one on a device without it.
std::array<DWORD, 2> levels(const pa_cvolume& volume, const pa_channel_map& map);
// A volume for every channel of `map`: left channels take `left`, right ones `right`, the
// others (centre, subwoofer, a mono channel) the louder of both.
pa_cvolume volumeFor(DWORD left, DWORD right, const pa_channel_map& map);

}  // namespace pulse
