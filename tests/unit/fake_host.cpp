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

uint32_t OpenDevice(const std::string& path, const std::string& name) {
  FakeHost& f = *g_fake;
  if (f.files.count(path) == 0 || f.directories.count(path) != 0) return kMciFileNotFound;
  if (!f.open_devices.insert(name).second) return kMciInvalidDevice;  // already open
  return kMciOk;
}

// Carries out one command the way MCI would, as far as the tests need.
uint32_t Execute(const std::string& command, char* reply, uint32_t capacity) {
  FakeHost& f = *g_fake;
  if (StartsWith(command, "close ")) {
    return f.open_devices.erase(command.substr(6)) != 0 ? kMciOk : kMciInvalidDevice;
  }
  if (StartsWith(command, "open \"")) {
    const size_t end = command.find('"', 6);
    const std::string path = command.substr(6, end - 6);
    const std::string alias = command.substr(command.find(" alias ") + 7);
    return OpenDevice(path, alias);
  }
  if (StartsWith(command, "open ")) {
    const std::string path = command.substr(5);
    return OpenDevice(path, path);
  }
  if (StartsWith(command, "play ")) {
    return f.open_devices.count(command.substr(5)) != 0 ? kMciOk : kMciInvalidDevice;
  }
  if (StartsWith(command, "status ")) {
    const std::string path = command.substr(7, command.size() - 7 - std::strlen(" length"));
    auto it = f.lengths.find(path);
    if (it == f.lengths.end()) return kMciInvalidDevice;
    if (capacity > 0) {  // MCI writes at most capacity bytes, terminator included
      const size_t n = std::min<size_t>(it->second.size(), capacity - 1);
      std::memcpy(reply, it->second.data(), n);
      reply[n] = '\0';
    }
    return kMciOk;
  }
  return kMciInvalidDevice;
}

}  // namespace

FakeHost& Fake() { return *g_fake; }

void ResetFake() {
  // Blocks still live belong to a test that already failed on them.
  for (auto& block : g_fake->live) std::free(block.first);
  *g_fake = FakeHost();
}

std::vector<std::string> FakeHost::Commands() const {
  std::vector<std::string> out;
  for (const MciCall& call : mci) out.push_back(call.command);
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
  f.allocations.push_back(bytes);
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
  if (f.box.empty()) return Text();
  char* block = TextAlloc(static_cast<int32_t>(f.box.size() + 1));
  std::memcpy(block, f.box.c_str(), f.box.size() + 1);
  return Text::Adopt(block);
}

bool MainWindowClosed() { return g_fake->window_closed; }

bool FindEntry(const char* path) {
  const FakeHost& f = *g_fake;
  return f.files.count(path) != 0 || f.directories.count(path) != 0;
}

uint32_t MciSendString(const char* command, char* reply, uint32_t capacity) {
  FakeHost& f = *g_fake;
  f.mci.push_back({command, reply != nullptr ? reply : "", capacity, f.now});
  const uint32_t result = Execute(command, reply, capacity);
  if (f.on_mci) f.on_mci(f.mci.back());
  return result;
}

uint32_t TickCount() {
  FakeHost& f = *g_fake;
  ++f.tick_reads;
  const uint32_t value = f.now;
  f.now += f.tick_step;
  return value;
}

QueueHead PeekQueue() {
  FakeHost& f = *g_fake;
  if (f.queue.empty() || f.queue.front().quit) {
    ++f.passes;
    return f.queue.empty() ? QueueHead::kEmpty : QueueHead::kQuit;
  }
  return QueueHead::kOther;
}

void DispatchNextMessage() {
  FakeHost& f = *g_fake;
  FakeHost::Message message = std::move(f.queue.front());
  f.queue.pop_front();
  ++f.dispatched;
  if (message.action) message.action();
}

}  // namespace host
