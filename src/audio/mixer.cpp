// Mixer access.
#include "audio/Audio.h"

TMixerSettings::TMixerSettings(TAudio* owner)
    : owner_(owner), notifyWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM lParam) {
        if (msg == MM_MIXM_CONTROL_CHANGE) onControlChange(static_cast<DWORD>(lParam));
      })) {}

TMixerSettings::~TMixerSettings() { releaseLines(); }

void TMixerSettings::releaseLines() {
  if (Lines && MixerHandle != nullptr) mixerClose(MixerHandle);
  MixerHandle = nullptr;
  // Released iteratively so a long list cannot exhaust the stack.
  while (Lines) Lines = std::move(Lines->Next);
}

bool TMixerSettings::BuildLineTree(int32_t) {
  releaseLines();
  return false;
}
bool TMixerSettings::GetMixerInfo(std::string& DeviceName, std::string& Description) {
  DeviceName.clear();
  Description.clear();
  return false;
}
const std::vector<std::string>& TMixerSettings::GetDestinations() {
  list_.clear();
  return list_;
}
const std::vector<std::string>& TMixerSettings::GetSources(uint16_t) {
  list_.clear();
  return list_;
}
void TMixerSettings::GetLineName(uint16_t, uint16_t, std::string& Name) { Name.clear(); }
bool TMixerSettings::GetVolume(uint16_t, uint16_t, uint16_t&, uint16_t&, bool&, uint8_t&) { return false; }
bool TMixerSettings::SetVolume(uint16_t, uint16_t, uint16_t, uint16_t, bool) { return false; }
bool TMixerSettings::GetPeak(uint16_t, uint16_t, int32_t&, int32_t&) { return false; }
const TMixerLine* TMixerSettings::findLine(uint16_t, uint16_t) const { return nullptr; }
void TMixerSettings::onControlChange(DWORD) {}
