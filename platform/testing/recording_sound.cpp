#include "platform/testing/recording_sound.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;

bool FormatAccepted(const WaveFormatEx& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels != 1 && f.nChannels != 2) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return false;
  return f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX;
}

}  // namespace

// ---- Buffer -------------------------------------------------------------------------------

HRESULT RecordingSoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1,
                                   void** region2, uint32_t* size2, uint32_t flags) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto* rec = system_->Record(id_);
  auto& st = rec->state;
  HRESULT result = DS_OK;
  if (region1) *region1 = nullptr;
  if (size1) *size1 = 0;
  if (region2) *region2 = nullptr;
  if (size2) *size2 = 0;
  bool injected = false;
  if (system_->failLockIn_ > 0) injected = (--system_->failLockIn_ == 0);
  const uint64_t end = static_cast<uint64_t>(offset) + bytes;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else if (injected) {
    result = DSERR_INVALIDCALL;
  } else if (!region1 || !size1 || bytes == 0 || end > st.bytes.size()) {
    result = DSERR_INVALIDPARAM;
  } else {
    uint32_t first = bytes;
    if (system_->splitAt_ != 0 && system_->splitAt_ < bytes) first = system_->splitAt_;
    uint32_t second = bytes - first;
    if (second != 0 && (!region2 || !size2)) {
      first = bytes;  // the caller takes one region only
      second = 0;
    }
    auto make = [&](uint32_t start, uint32_t size) {
      RecordingSoundSystem::LockedRegion r{std::make_unique<uint8_t[]>(size), start, size};
      std::memcpy(r.data.get(), st.bytes.data() + start, size);
      void* p = r.data.get();
      rec->regions.push_back(std::move(r));
      return p;
    };
    *region1 = make(offset, first);
    *size1 = first;
    if (second != 0) {
      *region2 = make(offset + first, second);
      *size2 = second;
    }
    ++st.locks;
  }
  system_->Log(id_, "Lock", {offset, bytes, flags}, result);
  return result;
}

HRESULT RecordingSoundBuffer::Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto* rec = system_->Record(id_);
  auto& st = rec->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else {
    auto commit = [&](void* p, uint32_t size) {
      if (p == nullptr) return size == 0;
      auto it = std::find_if(
          rec->regions.begin(), rec->regions.end(),
          [&](const RecordingSoundSystem::LockedRegion& r) { return r.data.get() == p; });
      if (it == rec->regions.end() || size > it->size) return false;
      std::memcpy(st.bytes.data() + it->start, it->data.get(), size);
      rec->regions.erase(it);
      return true;
    };
    bool ok1 = commit(region1, size1);
    bool ok2 = commit(region2, size2);
    if (!ok1 || !ok2) result = DSERR_INVALIDPARAM;
    ++st.unlocks;
  }
  system_->Log(id_, "Unlock", {size1, size2}, result);
  return result;
}

HRESULT RecordingSoundBuffer::Play(uint32_t reserved, uint32_t priority, uint32_t flags) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else {
    const bool loop = (flags & DSBPLAY_LOOPING) != 0;
    st.finishing = st.playing && st.looping && !loop;
    if (loop) st.finishing = false;
    st.playing = true;
    st.looping = loop;
  }
  system_->Log(id_, "Play", {reserved, priority, flags}, result);
  return result;
}

HRESULT RecordingSoundBuffer::Stop() {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else {
    st.playing = false;
    st.finishing = false;
  }
  system_->Log(id_, "Stop", {}, result);
  return result;
}

HRESULT RecordingSoundBuffer::SetCurrentPosition(uint32_t position) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else if (position >= st.bytes.size() && position != 0) {
    result = DSERR_INVALIDPARAM;
  } else {
    st.position = position;
  }
  system_->Log(id_, "SetCurrentPosition", {position}, result);
  return result;
}

HRESULT RecordingSoundBuffer::GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else {
    if (playCursor) *playCursor = st.position;
    if (writeCursor) *writeCursor = st.position;
  }
  system_->Log(id_, "GetCurrentPosition", {}, result);
  return result;
}

HRESULT RecordingSoundBuffer::GetStatus(uint32_t* status) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else if (status) {
    *status = (st.playing ? DSBSTATUS_PLAYING : 0) | (st.looping ? DSBSTATUS_LOOPING : 0);
  }
  system_->Log(id_, "GetStatus", {}, result);
  return result;
}

HRESULT RecordingSoundBuffer::SetFrequency(uint32_t samplesPerSecond) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else if (samplesPerSecond < DSBFREQUENCY_MIN || samplesPerSecond > DSBFREQUENCY_MAX) {
    result = DSERR_INVALIDPARAM;
  } else {
    st.frequency = samplesPerSecond;
  }
  system_->Log(id_, "SetFrequency", {samplesPerSecond}, result);
  return result;
}

HRESULT RecordingSoundBuffer::SetPan(int32_t pan) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) {
    result = DSERR_INVALIDPARAM;
  } else {
    st.pan = pan;
  }
  system_->Log(id_, "SetPan", {pan}, result);
  return result;
}

HRESULT RecordingSoundBuffer::SetVolume(int32_t volume) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  } else if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) {
    result = DSERR_INVALIDPARAM;
  } else {
    st.volume = volume;
  }
  system_->Log(id_, "SetVolume", {volume}, result);
  return result;
}

uint32_t RecordingSoundBuffer::Release() {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& st = system_->Record(id_)->state;
  HRESULT result = DS_OK;
  if (st.released) {
    ++st.callsAfterRelease;
    result = DSERR_INVALIDCALL;
  }
  st.released = true;
  st.playing = false;
  st.looping = false;
  st.finishing = false;
  system_->Log(id_, "Release", {}, result);
  return 0;
}

// ---- Device -------------------------------------------------------------------------------

HRESULT RecordingSoundDevice::SetCooperativeLevel(WindowHandle window, uint32_t level) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  HRESULT result = DS_OK;
  if (released_) {
    ++system_->deviceCallsAfterRelease_;
    result = DSERR_INVALIDCALL;
  } else if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) {
    result = DSERR_INVALIDPARAM;
  }
  system_->Log(0, "SetCooperativeLevel",
               {static_cast<int64_t>(reinterpret_cast<uintptr_t>(window)), level}, result);
  return result;
}

HRESULT RecordingSoundDevice::CreateSoundBuffer(const BufferDescription* description,
                                                SoundBuffer** buffer, void* outer) {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  auto& sys = *system_;
  HRESULT result = DS_OK;
  if (buffer) *buffer = nullptr;
  bool injected = sys.failingAllCreates_;
  if (!injected && sys.failCreateIn_ > 0 && --sys.failCreateIn_ == 0) {
    injected = true;
    if (sys.failCreateAfter_) sys.failingAllCreates_ = true;
  }
  const bool primary = description && (description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
  if (released_) {
    ++sys.deviceCallsAfterRelease_;
    result = DSERR_INVALIDCALL;
  } else if (injected) {
    result = DSERR_OUTOFMEMORY;
  } else if (!description || !buffer || outer ||
             (description->dwSize != 36 && description->dwSize != sizeof(BufferDescription))) {
    result = DSERR_INVALIDPARAM;
  } else if (primary) {
    if (description->dwBufferBytes != 0 || description->lpwfxFormat != nullptr)
      result = DSERR_INVALIDPARAM;
  } else if (description->lpwfxFormat == nullptr || description->dwBufferBytes == 0 ||
             description->dwBufferBytes > kMaxBufferBytes) {
    result = DSERR_INVALIDPARAM;
  } else if (!FormatAccepted(*description->lpwfxFormat)) {
    result = DSERR_BADFORMAT;
  }
  int id = 0;
  if (result == DS_OK) {
    id = static_cast<int>(sys.buffers_.size()) + 1;
    RecordingSoundSystem::BufferRecord rec;
    rec.object = std::make_unique<RecordingSoundBuffer>(&sys, id);
    rec.state.id = id;
    rec.state.description = *description;
    if (description->lpwfxFormat) {
      rec.state.hasFormat = true;
      rec.state.format = *description->lpwfxFormat;
      rec.state.frequency = rec.state.format.nSamplesPerSec;
    }
    rec.state.description.lpwfxFormat = nullptr;
    rec.state.bytes.assign(description->dwBufferBytes, 0);
    *buffer = rec.object.get();
    sys.buffers_.push_back(std::move(rec));
  }
  sys.Log(
      0, "CreateSoundBuffer",
      {description ? description->dwBufferBytes : 0, description ? description->dwFlags : 0, id},
      result);
  return result;
}

uint32_t RecordingSoundDevice::Release() {
  std::lock_guard<std::mutex> guard(system_->mutex_);
  HRESULT result = DS_OK;
  if (released_) {
    ++system_->deviceCallsAfterRelease_;
    result = DSERR_INVALIDCALL;
  } else {
    ++system_->devicesReleased_;
  }
  released_ = true;
  system_->Log(0, "Release", {}, result);
  return 0;
}

// ---- System -------------------------------------------------------------------------------

RecordingSoundSystem::RecordingSoundSystem() = default;

RecordingSoundSystem::~RecordingSoundSystem() {
  if (InstalledSoundSystem() == this) InstallSoundSystem(nullptr);
}

void RecordingSoundSystem::Install() {
  InstallSoundSystem(this);
}

HRESULT RecordingSoundSystem::CreateDevice(SoundDevice** device) {
  std::lock_guard<std::mutex> guard(mutex_);
  HRESULT result = DS_OK;
  if (device == nullptr) {
    result = DSERR_INVALIDPARAM;
  } else if (failDevice_) {
    *device = nullptr;
    result = DSERR_NODRIVER;
  } else {
    devices_.push_back(std::make_unique<RecordingSoundDevice>(this));
    *device = devices_.back().get();
  }
  Log(0, "Create", {}, result);
  return result;
}

void RecordingSoundSystem::FailDeviceCreation(bool fail) {
  std::lock_guard<std::mutex> guard(mutex_);
  failDevice_ = fail;
}

void RecordingSoundSystem::FailBufferCreation(int n, bool andAllAfter) {
  std::lock_guard<std::mutex> guard(mutex_);
  failCreateIn_ = n > 0 ? n : 0;
  failCreateAfter_ = andAllAfter;
  failingAllCreates_ = false;
}

void RecordingSoundSystem::FailLock(int n) {
  std::lock_guard<std::mutex> guard(mutex_);
  failLockIn_ = n > 0 ? n : 0;
}

void RecordingSoundSystem::SplitLocksAt(uint32_t offset) {
  std::lock_guard<std::mutex> guard(mutex_);
  splitAt_ = offset;
}

void RecordingSoundSystem::PlayedToEnd(int id) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (auto* rec = Record(id)) {
    rec->state.playing = false;
    rec->state.looping = false;
    rec->state.finishing = false;
    rec->state.position = 0;
  }
}

void RecordingSoundSystem::Log(int id, const char* op, std::vector<int64_t> args, HRESULT result) {
  SoundCall call;
  call.buffer = id;
  call.op = op;
  call.result = result;
  std::string text = id == 0 ? "device." : "buf" + std::to_string(id) + ".";
  text += op;
  text += '(';
  const bool create = call.op == "CreateSoundBuffer";
  const size_t shown = create ? 2 : args.size();  // the new id is not an argument
  for (size_t i = 0; i < shown && i < args.size(); ++i) {
    if (i) text += ',';
    if (create && i == 1) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(args[i]));
      text += hex;
    } else {
      text += std::to_string(args[i]);
    }
  }
  text += ')';
  call.text = std::move(text);
  call.args = std::move(args);
  calls_.push_back(std::move(call));
}

RecordingSoundSystem::BufferRecord* RecordingSoundSystem::Record(int id) {
  if (id < 1 || id > static_cast<int>(buffers_.size())) return nullptr;
  return &buffers_[id - 1];
}

std::vector<SoundCall> RecordingSoundSystem::Calls() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return calls_;
}

size_t RecordingSoundSystem::Mark() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return calls_.size();
}

std::vector<SoundCall> RecordingSoundSystem::CallsSince(size_t mark) const {
  std::lock_guard<std::mutex> guard(mutex_);
  if (mark >= calls_.size()) return {};
  return std::vector<SoundCall>(calls_.begin() + static_cast<std::ptrdiff_t>(mark), calls_.end());
}

std::vector<SoundCall> RecordingSoundSystem::CallsOf(int id, size_t since) const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<SoundCall> out;
  for (size_t i = since; i < calls_.size(); ++i)
    if (calls_[i].buffer == id) out.push_back(calls_[i]);
  return out;
}

std::vector<std::string> RecordingSoundSystem::Texts(size_t since, int id) const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<std::string> out;
  for (size_t i = since; i < calls_.size(); ++i)
    if (id < 0 || calls_[i].buffer == id) out.push_back(calls_[i].text);
  return out;
}

int RecordingSoundSystem::Count(int id, const std::string& op, size_t since) const {
  std::lock_guard<std::mutex> guard(mutex_);
  int n = 0;
  for (size_t i = since; i < calls_.size(); ++i)
    if (calls_[i].Is(id, op)) ++n;
  return n;
}

int RecordingSoundSystem::Count(int id, const std::string& op, const std::vector<int64_t>& args,
                                size_t since) const {
  std::lock_guard<std::mutex> guard(mutex_);
  int n = 0;
  for (size_t i = since; i < calls_.size(); ++i)
    if (calls_[i].Is(id, op, args)) ++n;
  return n;
}

RecordedBufferState RecordingSoundSystem::Buffer(int id) const {
  std::lock_guard<std::mutex> guard(mutex_);
  if (id < 1 || id > static_cast<int>(buffers_.size())) return {};
  return buffers_[id - 1].state;
}

int RecordingSoundSystem::IdOf(const SoundBuffer* buffer) const {
  std::lock_guard<std::mutex> guard(mutex_);
  if (buffer == nullptr) return 0;
  for (const auto& rec : buffers_)
    if (rec.object.get() == buffer) return rec.state.id;
  return 0;
}

int RecordingSoundSystem::BuffersCreated() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return static_cast<int>(buffers_.size());
}

std::vector<int> RecordingSoundSystem::AliveBuffers() const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<int> out;
  for (const auto& rec : buffers_)
    if (!rec.state.released) out.push_back(rec.state.id);
  return out;
}

int RecordingSoundSystem::DevicesCreated() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return static_cast<int>(devices_.size());
}

int RecordingSoundSystem::DevicesReleased() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return devicesReleased_;
}

int RecordingSoundSystem::CallsAfterRelease() const {
  std::lock_guard<std::mutex> guard(mutex_);
  int n = deviceCallsAfterRelease_;
  for (const auto& rec : buffers_) n += rec.state.callsAfterRelease;
  return n;
}

}  // namespace platform
