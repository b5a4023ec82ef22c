#include "fake_host.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host.h"
#include "text.h"

namespace {

FakeHost* g_fake = new FakeHost();

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// Error codes of the fake MCI, shaped like the real ones.
constexpr uint32_t kMciOk = 0;
constexpr uint32_t kMciInvalidDevice = 263;
constexpr uint32_t kMciFileNotFound = 275;
constexpr uint32_t kMciDuplicateAlias = 289;
constexpr uint32_t kMciUnrecognized = 261;

// Writes a reply the way MCI does: at most capacity bytes, terminator
// included.
void Reply(const std::string& text, char* reply, uint32_t capacity) {
  if (capacity == 0 || reply == nullptr) return;
  const size_t n = std::min<size_t>(text.size(), capacity - 1);
  std::memcpy(reply, text.data(), n);
  reply[n] = '\0';
}

uint32_t SoundLength(const std::string& path) {
  const FakeHost& f = *g_fake;
  auto real = f.sound_ms.find(path);
  if (real != f.sound_ms.end()) return real->second;
  auto header = f.lengths.find(path);
  return header != f.lengths.end() ? static_cast<uint32_t>(std::atoi(header->second.c_str())) : 0;
}

// Carries out one command the way MCI would, as far as the program relies on
// it.
uint32_t Execute(const std::string& command, char* reply, uint32_t capacity) {
  FakeHost& f = *g_fake;
  if (StartsWith(command, "open \"")) {
    const size_t end = command.find('"', 6);
    const size_t alias_at = command.find(" alias ", end);
    if (end == std::string::npos || alias_at == std::string::npos) return kMciUnrecognized;
    const std::string path = command.substr(6, end - 6);
    const std::string alias = command.substr(alias_at + 7);
    if (f.files.count(path) == 0 || f.directories.count(path) != 0) return kMciFileNotFound;
    if (f.devices.count(alias) != 0) return kMciDuplicateAlias;
    f.devices[alias] = {path, false, 0};
    f.most_devices_open = std::max(f.most_devices_open, f.devices.size());
    return kMciOk;
  }
  const size_t space = command.find(' ');
  const std::string verb = command.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : command.substr(space + 1);
  const std::string alias = rest.substr(0, rest.find(' '));
  const std::string argument = rest.size() > alias.size() ? rest.substr(alias.size() + 1) : "";
  auto device = f.devices.find(alias);
  if (device == f.devices.end()) return kMciInvalidDevice;
  if (verb == "close" && argument.empty()) {
    f.devices.erase(device);
    return kMciOk;
  }
  if (verb == "play" && argument == "from 0") {
    device->second.started = true;
    device->second.started_at = f.now;
    f.played.push_back({device->second.path, f.now});
    return kMciOk;
  }
  if (verb == "status" && argument == "length") {
    auto length = f.lengths.find(device->second.path);
    if (length == f.lengths.end()) return kMciInvalidDevice;
    Reply(length->second, reply, capacity);
    return kMciOk;
  }
  if (verb == "status" && argument == "mode") {
    const FakeHost::Device& d = device->second;
    const bool playing = d.started && f.now - d.started_at < SoundLength(d.path) + f.stopped_lag_ms;
    Reply(playing ? "playing" : "stopped", reply, capacity);
    return kMciOk;
  }
  return kMciUnrecognized;
}

bool Arrived(const FakeHost::Message& message) {
  return static_cast<int32_t>(g_fake->now - message.arrives) >= 0 || message.arrives == 0;
}

// Messages that have not arrived yet are not in the queue for the program.
std::deque<FakeHost::Message>::iterator FirstArrived() {
  FakeHost& f = *g_fake;
  for (auto it = f.queue.begin(); it != f.queue.end(); ++it) {
    if (Arrived(*it)) return it;
  }
  return f.queue.end();
}

}  // namespace

void FakeHost::AddClip(const std::string& name, int ms) {
  files.insert(ClipPath(name));
  lengths[ClipPath(name)] = std::to_string(ms);
}

FakeHost& Fake() { return *g_fake; }

void ResetFake() {
  // Blocks still live belong to a test that already failed on them.
  for (auto& block : g_fake->live) std::free(block.first);
  *g_fake = FakeHost();
}

std::vector<std::string> FakeHost::PlayedNames() const {
  std::vector<std::string> out;
  const std::string prefix = "sylbank\\";
  for (const PlayedClip& clip : played) {
    std::string name = clip.path;
    if (StartsWith(name, prefix)) name = name.substr(prefix.size());
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".wav") == 0) name.resize(name.size() - 4);
    out.push_back(name);
  }
  return out;
}

std::vector<std::string> FakeHost::Commands() const {
  std::vector<std::string> out;
  for (const MciCall& call : mci) {
    const size_t n = call.command.size();
    if (n > 5 && call.command.compare(n - 5, 5, " mode") == 0) continue;
    out.push_back(call.command);
  }
  return out;
}

std::string FakeHost::Log() const {
  std::ostringstream out;
  out << "MCI command log (" << mci.size() << " commands):\n";
  for (const MciCall& call : mci) {
    out << "  t=" << call.time << "  " << call.command << "  [reply \"" << call.reply
        << "\", capacity " << call.capacity << "]\n";
  }
  return out.str();
}

namespace host {

void* AllocBlock(uint32_t bytes) {
  FakeHost& f = *g_fake;
  if (f.keep_logs) f.allocations.push_back(bytes);
  if (f.refuse_allocation > 0 && --f.refuse_allocation == 0) return nullptr;
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  f.live[block] = bytes;
  return block;
}

void FreeBlock(void* block) {
  FakeHost& f = *g_fake;
  if (f.live.erase(block) == 0) {
    std::ostringstream out;
    out << "free of a block the heap did not give: " << block;
    f.heap_errors.push_back(out.str());
    return;
  }
  std::free(block);
}

void ReportFatal(const char* message) {
  g_fake->fatal_message = message;
  throw FatalReported(message);
}

Text TextBoxContent() {
  FakeHost& f = *g_fake;
  if (f.window_closed) ReportFatal("读取组件属性时发现指定窗口尚未载入");
  ++f.box_reads;
  if (f.box.empty()) return Text();
  char* block = TextAlloc(static_cast<int32_t>(f.box.size() + 1));
  std::memcpy(block, f.box.c_str(), f.box.size() + 1);
  return Text::Adopt(block);
}

uint32_t TextBoxVersion() { return g_fake->box_version; }

bool MainWindowClosed() { return g_fake->window_closed; }

bool VoiceFolderUsable() {
  FakeHost& f = *g_fake;
  if (!f.voice_folder_usable) ++f.voice_folder_notices;
  return f.voice_folder_usable;
}

bool FindEntry(const char* path) {
  const FakeHost& f = *g_fake;
  return f.files.count(path) != 0 || f.directories.count(path) != 0;
}

uint32_t MciSendString(const char* command, char* reply, uint32_t capacity) {
  FakeHost& f = *g_fake;
  MciCall call{command, reply != nullptr ? reply : "", capacity, f.now};
  const uint32_t result = Execute(command, reply, capacity);
  if (f.keep_logs) f.mci.push_back(call);
  if (f.on_mci) f.on_mci(call);
  return result;
}

void PrepareSound() { ++g_fake->sound_prepared; }

uint32_t TickCount() {
  FakeHost& f = *g_fake;
  ++f.tick_reads;
  const uint32_t value = f.now;
  f.now += f.tick_step;
  return value;
}

void WaitForMessage(uint32_t ms) {
  FakeHost& f = *g_fake;
  // Sleeps until the first message arrives, or for `ms`.
  uint32_t until = f.now + ms;
  for (const FakeHost::Message& message : f.queue) {
    if (Arrived(message)) return;
    if (static_cast<int32_t>(message.arrives - until) < 0) until = message.arrives;
  }
  f.slept_ms += until - f.now;
  f.now = until;
}

QueueHead PeekQueue() {
  const FakeHost& f = *g_fake;
  const auto first = FirstArrived();
  if (first == f.queue.end()) return QueueHead::kEmpty;
  return first->quit ? QueueHead::kQuit : QueueHead::kOther;
}

void DispatchNextMessage() {
  FakeHost& f = *g_fake;
  const auto first = FirstArrived();
  FakeHost::Message message = std::move(*first);
  f.queue.erase(first);
  ++f.dispatched;
  if (message.action) message.action();
}

}  // namespace host
