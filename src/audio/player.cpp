// The wave-output player.
#include <istream>

#include "audio/Audio.h"

TPlayer::TPlayer(TAudio* owner)
    : TAudioSettings(owner),
      notifyWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM) {
        if (msg == WOM_DONE && IsOpen) FillBuffer();
      })),
      closeWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM) {
        if (msg == WOM_CLOSE) Close();
      })) {}

TPlayer::~TPlayer() = default;

bool TPlayer::Open() {
  Owner()->ErrorMessage = "Could not open the output device for playing: ";
  return false;
}
void TPlayer::Close() {
  if (!IsOpen) Owner()->ErrorMessage = "Player already closed";
}
void TPlayer::Stop() {
  if (!IsOpen) Owner()->ErrorMessage = "Player already closed";
}
int32_t TPlayer::FillBuffer() { return 0; }
void TPlayer::GetOutVolume(uint16_t& Left, uint16_t& Right) {
  DWORD v = 0;
  if (MMRESULT r = waveOutGetVolume(static_cast<UINT_PTR>(static_cast<UINT>(Owner()->AudioDeviceID())), &v)) {
    Owner()->setWaveOutError("", r);
  }
  Left = static_cast<uint16_t>(v & 0xFFFF);
  Right = static_cast<uint16_t>(v >> 16);
}
void TPlayer::SetOutVolume(uint16_t Left, uint16_t Right) {
  const DWORD v = (static_cast<DWORD>(Right) << 16) + Left;
  if (MMRESULT r = waveOutSetVolume(static_cast<UINT_PTR>(static_cast<UINT>(Owner()->AudioDeviceID())), v)) {
    Owner()->setWaveOutError("", r);
  }
}
bool TPlayer::Play(std::unique_ptr<std::istream>, uint16_t) { return false; }
void TPlayer::CALLBACK_waveOut(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
