// Listens to a JACK MIDI output port and writes each message it receives as one line,
// "<CLOCK_MONOTONIC ns> <status> <data1> <data2>", stamped when the JACK cycle that carries
// it starts to be processed here (at most one period after it was sent). Ends on SIGTERM or
// SIGINT with every line written.
//
// usage: jack_midi_listen PORT OUT.txt   (the server is JACK_DEFAULT_SERVER's, as for any client;
//        PORT "-" connects nothing: the sender connects to our port "sonavel_listen:in")
// Exit 0 after a signal, 1 when the server or the port cannot be reached in time.

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <thread>

namespace {

constexpr int kWaitForPortSeconds = 30;
constexpr size_t kRingBytes = 1 << 16;
constexpr int kPollMs = 5;

struct Message {
  long long ns;
  unsigned char bytes[3];
};

jack_port_t* input = nullptr;
jack_ringbuffer_t* ring = nullptr;
std::atomic<bool> stopping{false};
std::atomic<int> lost{0};

long long nowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

int process(jack_nframes_t frames, void*) {
  const long long ns = nowNs();
  void* buffer = jack_port_get_buffer(input, frames);
  const uint32_t count = jack_midi_get_event_count(buffer);
  for (uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    Message message{ns, {0, 0, 0}};
    for (size_t b = 0; b < event.size && b < 3; ++b) message.bytes[b] = event.buffer[b];
    if (jack_ringbuffer_write_space(ring) < sizeof message) {
      lost.fetch_add(1);
      continue;
    }
    jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&message), sizeof message);
  }
  return 0;
}

void drain(std::FILE* out) {
  Message message;
  while (jack_ringbuffer_read_space(ring) >= sizeof message) {
    jack_ringbuffer_read(ring, reinterpret_cast<char*>(&message), sizeof message);
    std::fprintf(out, "%lld %d %d %d\n", message.ns, message.bytes[0], message.bytes[1], message.bytes[2]);
  }
  std::fflush(out);
}

void stop(int) { stopping.store(true); }

// Connects `port` to our input once it exists.
bool connectWhenThere(jack_client_t* client, const char* port) {
  for (int waited = 0; waited < kWaitForPortSeconds * 1000; waited += kPollMs * 10) {
    if (jack_port_by_name(client, port) != nullptr && jack_connect(client, port, jack_port_name(input)) == 0) return true;
    if (stopping.load()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs * 10));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: jack_midi_listen PORT OUT.txt\n");
    return 2;
  }
  std::signal(SIGTERM, stop);
  std::signal(SIGINT, stop);
  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr) return 1;
  jack_client_t* client = jack_client_open("sonavel_listen", JackNoStartServer, nullptr);
  if (client == nullptr) {
    std::fprintf(stderr, "listener: no JACK server\n");
    return 1;
  }
  ring = jack_ringbuffer_create(kRingBytes);
  input = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(client, process, nullptr);
  if (input == nullptr || jack_activate(client) != 0) return 1;
  const bool waitsToBeConnected = std::string_view(argv[1]) == "-";
  if (!waitsToBeConnected) std::fprintf(stderr, "listener: waiting for %s\n", argv[1]);
  if (!waitsToBeConnected && !connectWhenThere(client, argv[1])) {
    std::fprintf(stderr, "listener: %s never appeared\n", argv[1]);
    jack_client_close(client);
    return 1;
  }
  std::fprintf(stderr, "listener: %s %s\n", waitsToBeConnected ? "listening as" : "connected to",
               waitsToBeConnected ? jack_port_name(input) : argv[1]);
  while (!stopping.load()) {
    drain(out);
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  jack_deactivate(client);
  drain(out);
  if (lost.load() > 0) std::fprintf(stderr, "listener: %d messages lost\n", lost.load());
  jack_client_close(client);
  std::fclose(out);
  return 0;
}
