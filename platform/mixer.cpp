#include "platform/mixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/player_lock.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

namespace {

#if defined(__SSE2__)
// Two adjacent floats (a sample and its step to the next) as the low half of a register,
// through the integer load, which may alias any data.
inline __m128d LoadPair(const float* at) {
  return _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)));
}
#endif
constexpr uint32_t kMaxBufferBytes = 64u << 20;  // larger buffers are refused
constexpr uint32_t kMaxPeriod = 1000000;
constexpr uint32_t kLockFromWriteCursor = 0x1;  // DSBLOCK_FROMWRITECURSOR
constexpr uint32_t kLockEntireBuffer = 0x2;     // DSBLOCK_ENTIREBUFFER
constexpr float kFracScale = 1.0f / 2147483648.0f;

float Gain(int32_t millibels) {
  return static_cast<float>(std::pow(10.0, millibels / 2000.0));
}
}  // namespace

// One buffer made by a device: the primary buffer or a static secondary buffer. Every
// operation takes the mixer lock.
class MixerBuffer final : public SoundBuffer {
 public:
  MixerBuffer(Mixer* mixer, MixerDevice* device) : mixer_(mixer), device_(device) {}

  HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
               uint32_t* size2, uint32_t flags) override;
  HRESULT Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) override;
  HRESULT Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
  HRESULT Stop() override;
  HRESULT SetCurrentPosition(uint32_t position) override;
  HRESULT GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) override;
  HRESULT GetStatus(uint32_t* status) override;
  HRESULT SetFrequency(uint32_t samplesPerSecond) override;
  HRESULT SetPan(int32_t pan) override;
  HRESULT SetVolume(int32_t volume) override;
  uint32_t Release() override;

  // Mixes `frames` frames into `mix` (interleaved stereo), advancing the cursor; the mixer
  // lock is held.
  template <bool kStereo, bool kLinear>
  void MixInto(float* mix, size_t frames);
  void UpdateGuard();
  void UpdateGains();
  void UpdateStep() { step_ = (static_cast<uint64_t>(frequency_) << 32) / mixer_->outputRate_; }
  void Convert(uint32_t firstFrame, uint32_t endFrame);
  void Detach();  // the device is gone: silent, every later call refused

  Mixer* mixer_;
  MixerDevice* device_;
  bool primary_ = false;
  bool dead_ = false;
  bool released_ = false;  // by its own Release: the shell may be reused
  uint16_t channels_ = 1;
  uint16_t bits_ = 8;
  uint16_t block_ = 1;
  uint32_t bytes_ = 0;
  uint32_t frames_ = 0;
  std::vector<uint8_t> raw_;
  // Two floats per frame, frames_ + 1 guard frame: left and right for stereo; for mono the
  // sample and the step to the next one, so interpolation takes one load.
  std::vector<float> data_;
  uint64_t pos_ = 0;  // play cursor in frames, 32.32 fixed point
  uint64_t step_ = 0;
  uint32_t frequency_ = 0;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  float gainLeft_ = 1.0f;
  float gainRight_ = 1.0f;
  bool playing_ = false;
  bool looping_ = false;
};

class MixerDevice final : public SoundDevice {
 public:
  explicit MixerDevice(Mixer* mixer) : mixer_(mixer) {}
  HRESULT SetCooperativeLevel(WindowHandle window, uint32_t level) override;
  HRESULT CreateSoundBuffer(const BufferDescription* description, SoundBuffer** buffer,
                            void* outer) override;
  uint32_t Release() override;

  Mixer* mixer_;
  bool released_ = false;
  uint32_t level_ = 0;
  std::vector<MixerBuffer*> children_;
};

// ---- buffer -------------------------------------------------------------------------------

void MixerBuffer::UpdateGuard() {
  // The frame after the last one: the first frame when looping, silence otherwise.
  if (frames_ == 0) return;
  float* guard = data_.data() + 2 * static_cast<size_t>(frames_);
  if (channels_ == 2) {
    guard[0] = looping_ ? data_[0] : 0.0f;
    guard[1] = looping_ ? data_[1] : 0.0f;
  } else {
    guard[0] = looping_ ? data_[0] : 0.0f;
    guard[1] = 0.0f;
    guard[-1] = guard[0] - guard[-2];
  }
}

void MixerBuffer::UpdateGains() {
  float gain = Gain(volume_);
  gainLeft_ = gain * (pan_ > 0 ? Gain(-pan_) : 1.0f);
  gainRight_ = gain * (pan_ < 0 ? Gain(pan_) : 1.0f);
}

void MixerBuffer::Convert(uint32_t firstFrame, uint32_t endFrame) {
  endFrame = std::min(endFrame, frames_);
  for (uint32_t f = firstFrame; f < endFrame; ++f) {
    const uint8_t* src = raw_.data() + static_cast<size_t>(f) * block_;
    float* dst = data_.data() + 2 * static_cast<size_t>(f);
    for (uint16_t c = 0; c < channels_; ++c) {
      if (bits_ == 8) {
        dst[c] = (static_cast<float>(src[c]) - 128.0f) * (1.0f / 128.0f);
      } else {
        int16_t v;
        std::memcpy(&v, src + 2 * c, 2);
        dst[c] = static_cast<float>(v) * (1.0f / 32768.0f);
      }
    }
  }
  if (channels_ == 1 && endFrame > firstFrame) {
    float* d = data_.data();
    for (uint32_t f = firstFrame > 0 ? firstFrame - 1 : 0; f < endFrame; ++f) {
      d[2 * f + 1] = d[2 * f + 2] - d[2 * f];
    }
  }
  UpdateGuard();
}

void MixerBuffer::Detach() {
  dead_ = true;
  playing_ = false;
  device_ = nullptr;
  mixer_->RemoveBuffer(this);
}

HRESULT MixerBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1,
                          void** region2, uint32_t* size2, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_ || primary_) return DSERR_INVALIDCALL;
  if (region1 == nullptr || size1 == nullptr) return DSERR_INVALIDPARAM;
  if (flags & kLockFromWriteCursor) offset = static_cast<uint32_t>((pos_ >> 32) * block_);
  if (flags & kLockEntireBuffer) {
    offset = 0;
    bytes = bytes_;
  }
  if (bytes == 0 || bytes > bytes_ || offset >= bytes_) return DSERR_INVALIDPARAM;
  uint32_t first = std::min(bytes, bytes_ - offset);
  uint32_t second = bytes - first;
  if (second != 0 && (region2 == nullptr || size2 == nullptr)) return DSERR_INVALIDPARAM;
  *region1 = raw_.data() + offset;
  *size1 = first;
  if (region2 != nullptr) *region2 = second ? raw_.data() : nullptr;
  if (size2 != nullptr) *size2 = second;
  return DS_OK;
}

HRESULT MixerBuffer::Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_ || primary_) return DSERR_INVALIDCALL;
  const uint8_t* begin = raw_.data();
  auto inside = [&](void* region, uint32_t size) {
    if (region == nullptr) return size == 0;
    auto* p = static_cast<const uint8_t*>(region);
    return p >= begin && p < begin + bytes_ && size <= static_cast<uint32_t>(begin + bytes_ - p);
  };
  if (!inside(region1, size1) || !inside(region2, size2)) return DSERR_INVALIDPARAM;
  for (auto [region, size] : {std::pair{region1, size1}, std::pair{region2, size2}}) {
    if (region == nullptr || size == 0) continue;
    auto off = static_cast<uint32_t>(static_cast<const uint8_t*>(region) - begin);
    Convert(off / block_, (off + size + block_ - 1) / block_);
  }
  return DS_OK;
}

HRESULT MixerBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_ || primary_) return DSERR_INVALIDCALL;
  looping_ = (flags & DSBPLAY_LOOPING) != 0;
  playing_ = true;
  UpdateGuard();
  return DS_OK;
}

HRESULT MixerBuffer::Stop() {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_) return DSERR_INVALIDCALL;
  playing_ = false;
  return DS_OK;
}

HRESULT MixerBuffer::SetCurrentPosition(uint32_t position) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_ || primary_) return DSERR_INVALIDCALL;
  if (position >= bytes_) return DSERR_INVALIDPARAM;
  pos_ = static_cast<uint64_t>(position / block_) << 32;
  return DS_OK;
}

HRESULT MixerBuffer::GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_) return DSERR_INVALIDCALL;
  auto byte = static_cast<uint32_t>((pos_ >> 32) * block_);
  if (playCursor) *playCursor = byte;
  if (writeCursor) *writeCursor = byte;
  return DS_OK;
}

HRESULT MixerBuffer::GetStatus(uint32_t* status) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_) return DSERR_INVALIDCALL;
  if (status == nullptr) return DSERR_INVALIDPARAM;
  *status = playing_ ? (DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0u)) : 0u;
  return DS_OK;
}

HRESULT MixerBuffer::SetFrequency(uint32_t samplesPerSecond) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_ || primary_) return DSERR_INVALIDCALL;
  if (samplesPerSecond < DSBFREQUENCY_MIN || samplesPerSecond > DSBFREQUENCY_MAX) {
    return DSERR_INVALIDPARAM;
  }
  frequency_ = samplesPerSecond;
  UpdateStep();
  return DS_OK;
}

HRESULT MixerBuffer::SetPan(int32_t pan) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_) return DSERR_INVALIDCALL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  pan_ = pan;
  UpdateGains();
  return DS_OK;
}

HRESULT MixerBuffer::SetVolume(int32_t volume) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (dead_) return DSERR_INVALIDCALL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  volume_ = volume;
  UpdateGains();
  return DS_OK;
}

uint32_t MixerBuffer::Release() {
  // The object stays as an empty shell owned by the mixer, so a stray later call is refused
  // instead of touching freed memory (until the shell is reused for a new buffer); its
  // sample data is freed now.
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (released_) return 0;
  released_ = true;
  if (device_ != nullptr) {
    auto& children = device_->children_;
    children.erase(std::remove(children.begin(), children.end(), this), children.end());
  }
  Detach();
  std::vector<uint8_t>().swap(raw_);
  std::vector<float>().swap(data_);
  bytes_ = frames_ = 0;
  return 0;
}

template <bool kStereo, bool kLinear>
void MixerBuffer::MixInto(float* mix, size_t frames) {
  const float* __restrict d = data_.data();
  const uint64_t end = static_cast<uint64_t>(frames_) << 32;
  const uint64_t step = step_;
  const float gl = gainLeft_;
  const float gr = gainRight_;
  uint64_t pos = pos_;
  size_t done = 0;
  while (done < frames) {
    // Frames until the cursor passes the end: no wrap check inside the loop.
    uint64_t count = (end - pos + step - 1) / step;
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, frames - done));
    float* __restrict m = mix + 2 * done;
    size_t j = 0;
#if defined(__SSE2__)
    if constexpr (!kStereo) {
      // Mono, four frames at a time. Each lane does the same single-precision operations in
      // the same order as the loop below, so the mix is bit for bit the same.
      const __m128 left = _mm_set1_ps(gl);
      const __m128 right = _mm_set1_ps(gr);
      const __m128 scale = _mm_set1_ps(kFracScale);
      const uint32_t step32 = static_cast<uint32_t>(step);
      __m128i low = _mm_setr_epi32(static_cast<int32_t>(static_cast<uint32_t>(pos)),
                                   static_cast<int32_t>(static_cast<uint32_t>(pos) + step32),
                                   static_cast<int32_t>(static_cast<uint32_t>(pos) + 2 * step32),
                                   static_cast<int32_t>(static_cast<uint32_t>(pos) + 3 * step32));
      const __m128i lowStep = _mm_set1_epi32(static_cast<int32_t>(4 * step32));
      for (; j + 4 <= n; j += 4) {
        // Each frame's sample and (for linear) its step to the next one, as one pair.
        const __m128d p0 = LoadPair(d + 2 * (pos >> 32));
        const __m128d p1 = LoadPair(d + 2 * ((pos + step) >> 32));
        const __m128d p2 = LoadPair(d + 2 * ((pos + 2 * step) >> 32));
        const __m128d p3 = LoadPair(d + 2 * ((pos + 3 * step) >> 32));
        const __m128 p01 = _mm_castpd_ps(_mm_unpacklo_pd(p0, p1));  // s0 t0 s1 t1
        const __m128 p23 = _mm_castpd_ps(_mm_unpacklo_pd(p2, p3));  // s2 t2 s3 t3
        __m128 sample = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0));
        if constexpr (kLinear) {
          const __m128 delta = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1));
          const __m128 f = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(low, 1)), scale);
          sample = _mm_add_ps(sample, _mm_mul_ps(delta, f));
        }
        const __m128 l = _mm_mul_ps(sample, left);
        const __m128 r = _mm_mul_ps(sample, right);
        float* out = m + 2 * j;
        _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_unpacklo_ps(l, r)));
        _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_unpackhi_ps(l, r)));
        low = _mm_add_epi32(low, lowStep);
        pos += 4 * step;
      }
    }
#endif
    for (; j < n; ++j) {
      const size_t i = static_cast<size_t>(pos >> 32);
      if constexpr (kStereo) {
        float l = d[2 * i];
        float r = d[2 * i + 1];
        if constexpr (kLinear) {
          const float f =
              static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(pos) >> 1)) *
              kFracScale;
          l += (d[2 * i + 2] - l) * f;
          r += (d[2 * i + 3] - r) * f;
        }
        m[2 * j] += l * gl;
        m[2 * j + 1] += r * gr;
      } else {
        float s = d[2 * i];
        if constexpr (kLinear) {
          const float f =
              static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(pos) >> 1)) *
              kFracScale;
          s += d[2 * i + 1] * f;
        }
        m[2 * j] += s * gl;
        m[2 * j + 1] += s * gr;
      }
      pos += step;
    }
    done += n;
    if (pos >= end) {
      if (!looping_) {
        // Played to its end: stops and stands at the start.
        playing_ = false;
        pos = 0;
        break;
      }
      pos -= end;
      if (pos >= end) pos %= end;
    }
  }
  pos_ = pos;
}

// ---- device -------------------------------------------------------------------------------

HRESULT MixerDevice::SetCooperativeLevel(WindowHandle, uint32_t level) {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (released_) return DSERR_INVALIDCALL;
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  level_ = level;
  return DS_OK;
}

HRESULT MixerDevice::CreateSoundBuffer(const BufferDescription* description, SoundBuffer** buffer,
                                       void* outer) {
  if (buffer == nullptr) return DSERR_INVALIDPARAM;
  *buffer = nullptr;
  if (description == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  if (description->dwSize != 36 && description->dwSize != sizeof(BufferDescription)) {
    return DSERR_INVALIDPARAM;
  }
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (released_) return DSERR_INVALIDCALL;
  auto made = std::make_unique<MixerBuffer>(mixer_, this);
  if (description->dwFlags & DSBCAPS_PRIMARYBUFFER) {
    if (description->dwBufferBytes != 0 || description->lpwfxFormat != nullptr) {
      return DSERR_INVALIDPARAM;
    }
    made->primary_ = true;
  } else {
    const WaveFormatEx* format = description->lpwfxFormat;
    if (format == nullptr) return DSERR_INVALIDPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (format->nChannels != 1 && format->nChannels != 2) return DSERR_BADFORMAT;
    if (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8) {
      return DSERR_BADFORMAT;
    }
    if (format->nSamplesPerSec < DSBFREQUENCY_MIN || format->nSamplesPerSec > DSBFREQUENCY_MAX) {
      return DSERR_BADFORMAT;
    }
    uint32_t bytes = description->dwBufferBytes;
    if (bytes == 0 || bytes > kMaxBufferBytes || bytes % format->nBlockAlign != 0) {
      return DSERR_INVALIDPARAM;
    }
    MixerBuffer& b = *made;
    b.channels_ = format->nChannels;
    b.bits_ = format->wBitsPerSample;
    b.block_ = format->nBlockAlign;
    b.bytes_ = bytes;
    b.frames_ = bytes / b.block_;
    b.raw_.assign(bytes, b.bits_ == 8 ? 0x80 : 0x00);  // silence until filled
    b.data_.assign((static_cast<size_t>(b.frames_) + 1) * 2, 0.0f);
    b.frequency_ = format->nSamplesPerSec;
    b.UpdateStep();
  }
  // A released buffer's shell is reused, so the shells never outnumber the most buffers
  // held at once.
  MixerBuffer* target = nullptr;
  for (auto& shell : mixer_->ownedBuffers_) {
    if (shell->released_) {
      *shell = std::move(*made);
      target = shell.get();
      break;
    }
  }
  if (target == nullptr) {
    target = made.get();
    mixer_->ownedBuffers_.push_back(std::move(made));
  }
  if (!target->primary_) mixer_->AddBuffer(target);
  children_.push_back(target);
  *buffer = target;
  return DS_OK;
}

uint32_t MixerDevice::Release() {
  std::lock_guard<std::mutex> lock(mixer_->mutex_);
  if (released_) return 0;
  released_ = true;
  for (MixerBuffer* child : children_) child->Detach();
  children_.clear();
  return 0;
}

// ---- mixer --------------------------------------------------------------------------------

Mixer::Mixer(uint32_t outputRate)
    : outputRate_(outputRate >= 8000 && outputRate <= 192000 ? outputRate : 48000) {
  mix_.assign(2 * kChunkFrames, 0.0f);
  buffers_.reserve(256);
  periods_.reserve(16);
}

Mixer::~Mixer() = default;

void Mixer::SetInterpolation(Interpolation interpolation) {
  std::lock_guard<std::mutex> lock(mutex_);
  interpolation_ = interpolation;
}

size_t Mixer::PlayingBuffers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(
      std::count_if(buffers_.begin(), buffers_.end(), [](MixerBuffer* b) { return b->playing_; }));
}

void Mixer::AddBuffer(MixerBuffer* buffer) {
  buffers_.push_back(buffer);
}

void Mixer::RemoveBuffer(MixerBuffer* buffer) {
  buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
}

HRESULT Mixer::CreateDevice(SoundDevice** device) {
  if (device == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(mutex_);
  ownedDevices_.push_back(std::make_unique<MixerDevice>(this));
  *device = ownedDevices_.back().get();
  return DS_OK;
}

void Mixer::MixChunk(float* mix, size_t frames) {
  std::fill(mix, mix + 2 * frames, 0.0f);
  const bool linear = interpolation_ == Interpolation::Linear;
  for (MixerBuffer* b : buffers_) {
    if (!b->playing_) continue;
    if (b->channels_ == 2) {
      linear ? b->MixInto<true, true>(mix, frames) : b->MixInto<true, false>(mix, frames);
    } else {
      linear ? b->MixInto<false, true>(mix, frames) : b->MixInto<false, false>(mix, frames);
    }
  }
}

void Mixer::Render(int16_t* out, size_t frames) {
  std::unique_lock<std::mutex> lock(mutex_);
  renderThread_.store(std::this_thread::get_id());
  size_t done = 0;
  while (done < frames) {
    RunDueEvents(lock);
    const uint64_t now = samples_.load(std::memory_order_relaxed);
    size_t n = std::min(frames - done, kChunkFrames);
    for (const Event& e : events_) {
      if (e.live && e.due - now < n) n = static_cast<size_t>(e.due - now);
    }
    MixChunk(mix_.data(), n);
    int16_t* o = out + 2 * done;
    const float* __restrict mix = mix_.data();
    for (size_t i = 0; i < 2 * n; ++i) {
      // Hard clip at the output only, then round to nearest (halves up): the offset keeps
      // the value positive so truncation is floor.
      float v = std::min(std::max(mix[i] * 32768.0f, -32768.0f), 32767.0f);
      o[i] = static_cast<int16_t>(static_cast<int32_t>(v + 32768.5f) - 32768);
    }
    samples_.store(now + n, std::memory_order_release);
    done += n;
  }
}

uint64_t Mixer::DueSample(const Event& e) const {
  return e.start + (e.count + 1) * e.period * outputRate_ / 1000;
}

void Mixer::RunDueEvents(std::unique_lock<std::mutex>& lock) {
  for (;;) {
    const uint64_t now = samples_.load(std::memory_order_relaxed);
    const Event* next = nullptr;
    for (const Event& e : events_) {
      if (e.live && e.due <= now &&
          (next == nullptr || e.due < next->due || (e.due == next->due && e.id < next->id))) {
        next = &e;
      }
    }
    if (next == nullptr) return;
    const uint32_t id = next->id;
    // Lock order: the player lock first, so the mixer lock is let go while we wait for it.
    std::unique_lock<std::recursive_mutex> player(PlayerMutex(), std::defer_lock);
    lock.unlock();
    player.lock();
    lock.lock();
    Event* e = nullptr;
    for (Event& candidate : events_) {
      if (candidate.live && candidate.id == id) e = &candidate;
    }
    if (e == nullptr || e->due > now) continue;  // killed while we waited
    ++e->count;
    if (e->periodic) {
      e->due = DueSample(*e);
    } else {
      e->live = false;
    }
    TimerCallback callback = e->callback;
    uintptr_t user = e->user;
    runningEvent_ = id;
    lock.unlock();
    inCallback_.store(true);
    callback(id, 0, user, 0, 0);
    inCallback_.store(false);
    lock.lock();
    runningEvent_ = 0;
    callbackDone_.notify_all();
  }
}

MMRESULT Mixer::GetDevCaps(TimeCaps* caps, uint32_t size) {
  if (caps == nullptr || size < sizeof(TimeCaps)) return MMSYSERR_INVALPARAM;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = kMaxPeriod;
  return TIMERR_NOERROR;
}

MMRESULT Mixer::BeginPeriod(uint32_t period) {
  if (period < 1 || period > kMaxPeriod) return TIMERR_NOCANDO;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [value, count] : periods_) {
    if (value == period) {
      ++count;
      return TIMERR_NOERROR;
    }
  }
  periods_.emplace_back(period, 1);
  return TIMERR_NOERROR;
}

MMRESULT Mixer::EndPeriod(uint32_t period) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = periods_.begin(); it != periods_.end(); ++it) {
    if (it->first == period) {
      if (--it->second == 0) periods_.erase(it);
      return TIMERR_NOERROR;
    }
  }
  return TIMERR_NOCANDO;
}

uint32_t Mixer::SetEvent(uint32_t delay, uint32_t, TimerCallback callback, uintptr_t user,
                         uint32_t flags) {
  if (delay < 1 || delay > kMaxPeriod || callback == nullptr) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  for (Event& e : events_) {
    if (e.live || (e.id != 0 && e.id == runningEvent_)) continue;
    e.id = nextEventId_++;
    if (nextEventId_ == 0) nextEventId_ = 1;
    e.period = delay;
    e.callback = callback;
    e.user = user;
    e.periodic = (flags & TIME_PERIODIC) != 0;
    e.live = true;
    e.start = samples_.load(std::memory_order_relaxed);
    e.count = 0;
    e.due = DueSample(e);
    return e.id;
  }
  return 0;
}

MMRESULT Mixer::KillEvent(uint32_t timerId) {
  std::unique_lock<std::mutex> lock(mutex_);
  Event* e = nullptr;
  for (Event& candidate : events_) {
    if (candidate.live && candidate.id == timerId && timerId != 0) e = &candidate;
  }
  if (e == nullptr) return MMSYSERR_INVALPARAM;
  e->live = false;
  // A running callback holds the player lock, so a caller holding it never gets here while
  // one runs; the callback itself, on the rendering thread, must not wait for itself.
  if (std::this_thread::get_id() != renderThread_.load()) {
    callbackDone_.wait(lock, [&] { return runningEvent_ != timerId; });
  }
  return TIMERR_NOERROR;
}

void Mixer::Sleep(uint32_t milliseconds) {
  if (inCallback_.load() && std::this_thread::get_id() == renderThread_.load()) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t Mixer::GetTickCount() {
  return static_cast<uint32_t>(samples_.load(std::memory_order_acquire) * 1000 / outputRate_);
}

}  // namespace platform
