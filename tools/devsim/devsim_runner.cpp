#include "devsim_runner.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "devsim_state.h"

namespace quillon::devsim {

const char* const kDevsimUsage =
    "usage: quillon-devsim --bind ADDRESS --device DEVICE [--device DEVICE ...]\n"
    "                      [--dump FILE] [--log FILE] [fault options]\n"
    "\n"
    "Plays overlay devices on UDP port 1901: receives on 0.0.0.0:1901 and broadcasts replies\n"
    "to 255.255.255.255:1901 from ADDRESS:1901. Run it only inside a private network\n"
    "(scripts/netns-run.sh); it broadcasts.\n"
    "A device that accepts a download restarts with its new network settings: with DHCP\n"
    "off it answers the next search with the static address it was given.\n"
    "\n"
    "  --device DEVICE   ip=A.B.C.D,mac=12HEXDIGITS,version=MAJOR.MINOR,name=TEXT\n"
    "                    (name in UTF-8, last, may contain commas; missing keys get defaults;\n"
    "                    major < 32 carries line texts inside commands 3 and 4)\n"
    "  --dump FILE       after every change, all devices' parameter images as hex (atomic)\n"
    "  --log FILE        one line per request (default: stderr); 'ready' once listening\n"
    "\n"
    "Fault options (every device; requests addressed to a device, not the search):\n"
    "  --silent N        ignore the next N requests addressed to each device (with\n"
    "                    --fault-search, the searches count among them)\n"
    "  --refuse-download answer a download with result 0\n"
    "  --partial-ack K   take and answer only the first K entries of each dictionary request\n"
    "  --answer-twice    send every reply twice\n"
    "  --delay-ms N      send replies N ms late (search replies too)\n"
    "  --bad-checksum    replies with a wrong checksum byte\n"
    "  --oversize        a 2100-byte reply instead of the real one\n"
    "  --truncate        replies cut to half their size (length and checksum made right)\n"
    "  --foreign-id      add identifier 9000 to each dictionary read reply\n"
    "  --foreign-mac     replies name device 0200000000FE at offsets 4-9, checksum made\n"
    "                    right (search replies carry no MAC there and stay as they are)\n"
    "  --fault-search    apply the reply faults to search replies as well\n"
    "  --silent-device MAC  that device answers the search and nothing else (repeatable)\n"
    "  --silent-texts MAC   that device ignores reads of camera line texts (repeatable)\n";

namespace {

volatile sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }

bool ParseMacDigits(const std::string& text, uint8_t mac[6]) {
  for (int i = 0; i < 6; ++i) {
    unsigned value = 0;
    if (std::sscanf(text.c_str() + 2 * i, "%2x", &value) != 1 ||
        !std::isxdigit(static_cast<unsigned char>(text[2 * i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[2 * i + 1])))
      return false;
    mac[i] = static_cast<uint8_t>(value);
  }
  return true;
}

bool ParseCount(const std::string& text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 1000000) return false;
  value = static_cast<int>(v);
  return true;
}

class LogFile {
 public:
  explicit LogFile(const std::string& path)
      : file_(path.empty() ? stderr : std::fopen(path.c_str(), "a")) {}
  ~LogFile() {
    if (file_ && file_ != stderr) std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr; }
  void Line(const std::string& text) {
    std::fprintf(file_, "%s\n", text.c_str());
    std::fflush(file_);
  }

 private:
  FILE* file_;
};

int OpenPortSocket(uint32_t address, std::string& error) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  const int one = 1, buffer = 1 << 20;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(kDevicePort);
  sa.sin_addr.s_addr = htonl(address);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    error = std::string("bind: ") + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

std::vector<DeviceState> Snapshot(Simulator& simulator) {
  std::vector<DeviceState> states;
  for (const SimulatedDevice& device : simulator.Devices())
    states.push_back(DeviceState{device.MacText(), device.Block().osd, device.Block().modbus});
  return states;
}

}  // namespace

bool ParseDevsimCommandLine(int argc, char** argv, DevsimOptions& options, bool& help,
                            std::string& error) {
  help = false;
  FaultOptions& f = options.faults;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], value;
    const bool hasInline = arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos;
    if (hasInline) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    auto next = [&](std::string& out) {
      if (hasInline) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto count = [&](int& out) {
      std::string text;
      if (!next(text)) return false;
      if (!ParseCount(text, out)) {
        error = arg + ": not a count: '" + text + "'";
        return false;
      }
      return true;
    };

    if (arg == "--help" || arg == "-h") {
      help = true;
      return true;
    } else if (arg == "--bind") {
      if (!next(options.bindAddress)) return false;
    } else if (arg == "--device") {
      std::string description;
      if (!next(description)) return false;
      DeviceIdentity identity;
      if (!ParseDeviceDescription(description, static_cast<int>(options.devices.size()), identity,
                                  error)) {
        error = "--device: " + error;
        return false;
      }
      options.devices.push_back(identity);
    } else if (arg == "--dump") {
      if (!next(options.dumpPath)) return false;
    } else if (arg == "--log") {
      if (!next(options.logPath)) return false;
    } else if (arg == "--silent") {
      if (!count(f.silent)) return false;
    } else if (arg == "--partial-ack") {
      if (!count(f.partialAck)) return false;
    } else if (arg == "--delay-ms") {
      if (!count(f.delayMs)) return false;
    } else if (arg == "--refuse-download") {
      f.refuseDownload = true;
    } else if (arg == "--answer-twice") {
      f.answerTwice = true;
    } else if (arg == "--bad-checksum") {
      f.badChecksum = true;
    } else if (arg == "--oversize") {
      f.oversize = true;
    } else if (arg == "--truncate") {
      f.truncate = true;
    } else if (arg == "--foreign-id") {
      f.foreignId = true;
    } else if (arg == "--foreign-mac") {
      f.foreignMac = true;
    } else if (arg == "--fault-search") {
      f.faultSearch = true;
    } else if (arg == "--silent-device" || arg == "--silent-texts") {
      std::string mac;
      if (!next(mac)) return false;
      uint8_t bytes[6];
      if (mac.size() != 12 || !ParseMacDigits(mac, bytes)) {
        error = arg + ": not a MAC of 12 hex digits: '" + mac + "'";
        return false;
      }
      (arg == "--silent-device" ? f.silentDevices : f.silentTextDevices).push_back(MacText(bytes));
    } else {
      error = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (options.bindAddress.empty()) {
    error = "--bind ADDRESS is required";
    return false;
  }
  in_addr addr{};
  if (::inet_pton(AF_INET, options.bindAddress.c_str(), &addr) != 1) {
    error = "--bind: not an IPv4 address: '" + options.bindAddress + "'";
    return false;
  }
  if (options.devices.empty()) {
    error = "at least one --device is required";
    return false;
  }
  return true;
}

int RunDevsim(const DevsimOptions& options) {
  LogFile log(options.logPath);
  if (!log.ok()) {
    std::fprintf(stderr, "quillon-devsim: cannot open log %s\n", options.logPath.c_str());
    return 1;
  }

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = 0;  // no SA_RESTART: poll() returns at once on a stop signal
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  in_addr bindAddr{};
  ::inet_pton(AF_INET, options.bindAddress.c_str(), &bindAddr);
  std::string error;
  const int receiveSocket = OpenPortSocket(INADDR_ANY, error);
  if (receiveSocket < 0) {
    log.Line("error: receive socket on 0.0.0.0:1901: " + error);
    return 1;
  }
  const int sendSocket = OpenPortSocket(ntohl(bindAddr.s_addr), error);
  if (sendSocket < 0) {
    log.Line("error: send socket on " + options.bindAddress + ":1901: " + error);
    ::close(receiveSocket);
    return 1;
  }

  Simulator simulator(options.devices, options.faults);
  auto dump = [&] {
    if (!options.dumpPath.empty() && !WriteDevsimDump(options.dumpPath, Snapshot(simulator)))
      log.Line("error: cannot write dump " + options.dumpPath);
  };
  dump();

  sockaddr_in broadcast{};
  broadcast.sin_family = AF_INET;
  broadcast.sin_port = htons(kDevicePort);
  broadcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);

  log.Line("ready " + std::to_string(options.devices.size()) + " devices on " +
           options.bindAddress);
  std::fputs("ready\n", stdout);
  std::fflush(stdout);

  std::vector<uint8_t> buffer(65536);
  while (!gStop) {
    pollfd pfd{receiveSocket, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, 200);
    if (ready <= 0 || !(pfd.revents & POLLIN)) continue;
    const ssize_t size = ::recv(receiveSocket, buffer.data(), buffer.size(), 0);
    if (size <= 0) continue;

    Simulator::Outcome outcome =
        simulator.Handle(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(size)));
    for (const std::string& line : outcome.log) log.Line(line);
    if (outcome.stateChanged) dump();
    if (!outcome.replies.empty() && options.faults.delayMs > 0) {
      // Held back in short steps, so that a stop request does not wait for the whole delay.
      const auto until =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(options.faults.delayMs);
      while (!gStop && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (const Bytes& reply : outcome.replies) {
      if (::sendto(sendSocket, reply.data(), reply.size(), 0,
                   reinterpret_cast<const sockaddr*>(&broadcast), sizeof broadcast) < 0)
        log.Line(std::string("error: send: ") + std::strerror(errno));
    }
  }

  log.Line("stopped");
  ::close(sendSocket);
  ::close(receiveSocket);
  return 0;
}

}  // namespace quillon::devsim
