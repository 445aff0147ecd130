// Mixer access: the line list of one mixer device with the ids of each line's volume,
// mute and peak meter controls, the reading and setting of volume and mute, peak meter
// readings, the mixer description, and the change event on the window thread.
#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/Audio.h"

namespace {

constexpr uint32_t noControl = 65535;  // any id of 65535 or above means "absent"
constexpr uint16_t noAddress = 65535;  // Destination and Source of the root record

bool present(uint32_t id) { return id < noControl; }

// Reads or writes `channels` values of one control into/from `values`.
MMRESULT controlDetails(HMIXER handle, uint32_t id, DWORD channels, DWORD* values, bool write) {
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof(MIXERCONTROLDETAILS);
  details.dwControlID = id;
  details.cChannels = channels;
  details.cMultipleItems = 0;
  details.cbDetails = sizeof(DWORD);
  details.paDetails = values;
  return write ? mixerSetControlDetails(handle, &details, MIXER_SETCONTROLDETAILSF_VALUE)
               : mixerGetControlDetailsA(handle, &details, MIXER_GETCONTROLDETAILSF_VALUE);
}

// Inserts `text` at `index` of a list, filling a gap with empty items.
void insertAt(std::vector<std::string>& list, size_t index, const std::string& text) {
  if (index > list.size()) list.resize(index);
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), text);
}

}  // namespace

TMixerSettings::TMixerSettings(TAudio* owner)
    : owner_(owner), notifyWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == MM_MIXM_CONTROL_CHANGE)
          onControlChange(reinterpret_cast<HMIXER>(wParam), static_cast<DWORD>(lParam));
        if (msg == MM_MIXM_LINE_CHANGE) onLineChange(reinterpret_cast<HMIXER>(wParam));
      })) {}

TMixerSettings::~TMixerSettings() { releaseLines(); }

void TMixerSettings::releaseLines() {
  // Closing the handle also guarantees that no change message is posted any more; those
  // still queued speak of the closed mixer's controls and go with it (a mixer opened next
  // may well get the same handle, so they could not be told apart later).
  if (MixerHandle != nullptr) {
    mixerClose(MixerHandle);
    QCoreApplication::removePostedEvents(notifyWindow_.get());
  }
  MixerHandle = nullptr;
  // Released iteratively so a long list cannot exhaust the stack.
  while (Lines) Lines = std::move(Lines->Next);
}

bool TMixerSettings::BuildLineTree(int32_t device) {
  releaseLines();
  if (mixerGetNumDevs() == 0) return false;
  const UINT id = static_cast<UINT>(device);
  MIXERCAPSA caps{};
  mixerGetDevCapsA(id, &caps, sizeof(caps));  // its result is not needed: a failed open says more
  HMIXER handle = nullptr;
  if (mixerOpen(&handle, id, reinterpret_cast<DWORD_PTR>(static_cast<HWND>(notifyWindow_.get())), 0, CALLBACK_WINDOW) !=
      MMSYSERR_NOERROR) {
    return false;
  }
  MixerHandle = handle;

  auto root = std::make_unique<TMixerLine>();
  root->Destination = noAddress;
  root->Source = noAddress;
  root->Name = std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)));
  Lines = std::move(root);
  TMixerLine* last = Lines.get();

  // Appends the record of one line read from the driver.
  auto append = [&](const MIXERLINEA& info, uint16_t destination) {
    auto record = std::make_unique<TMixerLine>();
    record->Destination = destination;
    record->Source = last->Destination == destination ? static_cast<uint16_t>(last->Source + 1) : 0;
    // The whole name where the record's field cuts it.
    char wholeName[256];
    record->Name = mixerGetLineNameA(MixerHandle, info.dwLineID, wholeName, sizeof wholeName) == MMSYSERR_NOERROR
                       ? std::string(wholeName)
                       : std::string(info.szName, strnlen(info.szName, sizeof(info.szName)));
    record->LineFlags = 0x80;
    // Test readings never hand the driver more than two channel values.
    const DWORD readChannels = std::clamp<DWORD>(info.cChannels, 1, 2);
    if (info.cControls > 0) {
      std::vector<MIXERCONTROLA> controls(info.cControls);
      MIXERLINECONTROLSA request{};
      request.cbStruct = sizeof(MIXERLINECONTROLSA);
      request.dwLineID = info.dwLineID;
      request.cControls = info.cControls;
      request.cbmxctrl = sizeof(MIXERCONTROLA);
      request.pamxctrl = controls.data();
      if (mixerGetLineControlsA(MixerHandle, &request, MIXER_GETLINECONTROLSF_ALL) == MMSYSERR_NOERROR) {
        for (const MIXERCONTROLA& control : controls) {
          DWORD values[2] = {0, 0};
          switch (control.dwControlType) {
            case MIXERCONTROL_CONTROLTYPE_VOLUME:
              if (controlDetails(MixerHandle, control.dwControlID, readChannels, values, false)) break;
              record->VolumeID = control.dwControlID;
              if (info.cChannels == 1) {
                record->UniformVolume = true;
                record->LineFlags |= 0x40;
              }
              record->HasControls = true;
              record->LineFlags |= 0x20;
              break;
            case MIXERCONTROL_CONTROLTYPE_MUTE:
              if (controlDetails(MixerHandle, control.dwControlID, 1, values, false)) break;
              if (present(record->MuteID)) break;
              record->MuteID = control.dwControlID;
              record->HasControls = true;
              record->LineFlags &= 0x7F;
              break;
            case MIXERCONTROL_CONTROLTYPE_PEAKMETER:
              if (controlDetails(MixerHandle, control.dwControlID, readChannels, values, false)) break;
              record->PeakID = control.dwControlID;
              record->PeakChannels = info.cChannels == 1 ? 1 : 2;
              record->LineFlags |= 0x10;
              break;
            default: break;
          }
        }
      }
    }
    last->Next = std::move(record);
    last = last->Next.get();
  };

  if (caps.cDestinations == 0) return false;
  for (DWORD d = 0; d < caps.cDestinations; ++d) {
    MIXERLINEA line{};
    line.cbStruct = sizeof(MIXERLINEA);
    line.dwDestination = d;
    line.dwSource = 0;
    if (mixerGetLineInfoA(MixerHandle, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR) return false;
    append(line, static_cast<uint16_t>(d));
    const DWORD connections = line.cConnections;
    for (DWORD s = 0; s < connections; ++s) {
      MIXERLINEA source{};
      source.cbStruct = sizeof(MIXERLINEA);
      source.dwDestination = d;
      source.dwSource = s;
      if (mixerGetLineInfoA(MixerHandle, &source, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR) return false;
      append(source, static_cast<uint16_t>(d));
    }
  }
  return true;
}

bool TMixerSettings::GetMixerInfo(std::string& DeviceName, std::string& Description) {
  DeviceName.clear();
  Description.clear();
  if (!Valid) return false;
  const UINT count = mixerGetNumDevs();
  if (count == 0) {
    Description = "Mixer not present";
    return false;
  }
  if (!Lines) {
    Description = "Mixer not Present";
    return false;
  }
  DeviceName = Lines->Name;
  Description = "Mixer devices present: " + std::to_string(count) + ". DeviceID " +
                std::to_string(owner_->MixerDeviceID()) + " has:";
  uint16_t c = 0;
  for (const TMixerLine* line = Lines->Next.get(); line != nullptr; line = line->Next.get()) {
    if (line->Destination == c) {
      Description += "\r\n" + line->Name + ": ";
      ++c;
    } else {
      Description += line->Name + ", ";
    }
  }
  return true;
}

const std::vector<std::string>& TMixerSettings::GetDestinations() {
  list_.clear();
  if (!Valid) return list_;
  for (const TMixerLine* line = Lines.get(); line != nullptr; line = line->Next.get()) {
    if (line->Source == 0) insertAt(list_, line->Destination, line->Name);
  }
  return list_;
}

const std::vector<std::string>& TMixerSettings::GetSources(uint16_t Destination) {
  list_.clear();
  if (!Valid) return list_;
  for (const TMixerLine* line = Lines.get(); line != nullptr; line = line->Next.get()) {
    if (line->Destination == Destination) insertAt(list_, line->Source, line->HasControls ? line->Name : "");
  }
  return list_;
}

void TMixerSettings::GetLineName(uint16_t Destination, uint16_t Source, std::string& Name) {
  Name.clear();
  if (!Valid) return;
  if (const TMixerLine* line = findLine(Destination, Source)) Name = line->Name;
}

bool TMixerSettings::GetVolume(uint16_t Destination, uint16_t Source, uint16_t& Left, uint16_t& Right, bool& Mute,
                               uint8_t& Flags) {
  if (!Valid) return false;
  const TMixerLine* line = findLine(Destination, Source);
  if (line == nullptr) return false;
  Flags = static_cast<uint8_t>(line->LineFlags & 0xFF);
  if (present(line->VolumeID)) {
    DWORD values[2] = {0, 0};
    if (controlDetails(MixerHandle, line->VolumeID, line->UniformVolume ? 1 : 2, values, false)) {
      owner_->ErrorMessage = "Volume GetControlError in Mixer";
      return false;
    }
    Left = static_cast<uint16_t>(values[0]);
    Right = line->UniformVolume ? Left : static_cast<uint16_t>(values[1]);
  }
  if (present(line->MuteID)) {
    DWORD value = 0;
    if (controlDetails(MixerHandle, line->MuteID, 1, &value, false)) {
      owner_->ErrorMessage = "Mute GetControlError in Mixer";
      return false;
    }
    Mute = value != 0;
  }
  return true;
}

bool TMixerSettings::SetVolume(uint16_t Destination, uint16_t Source, uint16_t Left, uint16_t Right, bool Mute) {
  if (!Valid) return false;
  const TMixerLine* line = findLine(Destination, Source);
  if (line == nullptr) return false;
  if (present(line->VolumeID)) {
    DWORD values[2] = {Left, Right};
    if (controlDetails(MixerHandle, line->VolumeID, line->UniformVolume ? 1 : 2, values, true)) {
      owner_->ErrorMessage = "Volume SetControlError in Mixer";
      return false;
    }
  }
  if (present(line->MuteID)) {
    DWORD value = Mute ? 1 : 0;
    if (controlDetails(MixerHandle, line->MuteID, 1, &value, true)) {
      owner_->ErrorMessage = "Mute SetControlError in Mixer";
      return false;
    }
  }
  return true;
}

bool TMixerSettings::GetPeak(uint16_t Destination, uint16_t Source, int32_t& Left, int32_t& Right) {
  if (!Valid) return false;
  // Only lines with a meter count: the walk goes on past a same-address line without one.
  const TMixerLine* line = Lines.get();
  while (line != nullptr && !(line->Destination == Destination && line->Source == Source && line->PeakChannels > 0)) {
    line = line->Next.get();
  }
  if (line == nullptr) return false;
  DWORD values[2] = {0, 0};
  if (controlDetails(MixerHandle, line->PeakID, line->PeakChannels, values, false)) return false;
  Left = static_cast<int32_t>(values[0]);
  Right = line->PeakChannels == 1 ? Left : static_cast<int32_t>(values[1]);
  return true;
}

const TMixerLine* TMixerSettings::findLine(uint16_t Destination, uint16_t Source) const {
  for (const TMixerLine* line = Lines.get(); line != nullptr; line = line->Next.get()) {
    if (line->Destination == Destination && line->Source == Source) return line;
  }
  return nullptr;
}

void TMixerSettings::onLineChange(HMIXER from) {
  if (from == MixerHandle && owner_->OnMixerLineChange) owner_->OnMixerLineChange(this);
}

void TMixerSettings::onControlChange(HMIXER from, DWORD controlId) {
  if (from != MixerHandle || !Valid || !owner_->OnMixerChange || !present(controlId)) return;
  // Volume and mute controls only; a peak meter reports no change.
  for (const TMixerLine* line = Lines.get(); line != nullptr; line = line->Next.get()) {
    if (line->VolumeID == controlId || line->MuteID == controlId) {
      owner_->OnMixerChange(this, line->Destination, line->Source);
      return;
    }
  }
}
