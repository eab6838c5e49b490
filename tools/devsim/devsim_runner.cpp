#include "devsim_runner.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "devsim_state.h"
#include "files/file_bytes.h"
#include "link/socket_api.h"
#include "text/ipv4_text.h"

namespace quillon::devsim {

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }

class LogFile {
 public:
  explicit LogFile(const std::string& path) : file_(path.empty() ? stderr : OpenFile(path, "a")) {}
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

int OpenPortSocket(SocketApi& sockets, uint32_t address, std::string& error) {
  const int socket = sockets.OpenUdp();
  if (socket < 0) {
    error = "socket: " + SocketErrorText(sockets.LastError());
    return -1;
  }
  sockets.SetReuseAddress(socket);
  sockets.SetBroadcast(socket);
  sockets.SetReceiveBuffer(socket, 1 << 20);
  if (sockets.Bind(socket, address, kDevicePort) != 0) {
    error = "bind: " + SocketErrorText(sockets.LastError());
    sockets.Close(socket);
    return -1;
  }
  return socket;
}

std::vector<DeviceState> Snapshot(Simulator& simulator) {
  std::vector<DeviceState> states;
  for (const SimulatedDevice& device : simulator.Devices())
    states.push_back(DeviceState{device.MacText(), device.Block().osd, device.Block().modbus});
  return states;
}

}  // namespace

bool ParseDevsimCommandLine(int argc, const char* const* argv, DevsimOptions& options, bool& help,
                            std::string& text) {
  help = false;
  FaultOptions& f = options.faults;
  CLI::App app(
      "Plays overlay devices on UDP port 1901: receives on 0.0.0.0:1901 and broadcasts replies\n"
      "to 255.255.255.255:1901 from ADDRESS:1901. Run it only inside a private network\n"
      "(scripts/netns-run.sh); it broadcasts.\n"
      "A device that accepts a download restarts with its new network settings: with DHCP\n"
      "off it answers the next search with the static address it was given.",
      "quillon-devsim");
  app.footer(
      "The fault options act on every device, on requests addressed to a device, not on the\n"
      "search (unless --fault-search).");
  app.add_option("--bind", options.bindAddress,
                 "the device side's own address; replies leave from it")
      ->required()
      ->type_name("ADDRESS")
      ->check(CLI::Validator(
          [](std::string& text) {
            return ParseIpv4(text) ? std::string() : "not an IPv4 address: '" + text + "'";
          },
          "A.B.C.D"));
  std::vector<std::string> devices, silentDevices, silentTexts;
  app.add_option("--device", devices,
                 "ip=A.B.C.D,mac=12HEXDIGITS,version=MAJOR.MINOR,restart-ms=N,name=TEXT (name "
                 "in UTF-8, last, may contain commas; missing keys get defaults; major < 32 "
                 "carries line texts inside commands 3 and 4; restart-ms: after a download it "
                 "accepts, the device takes the line texts that follow (all four cameras, or "
                 "until none came for 1 s), then answers nothing for N ms while it restarts)")
      ->required()
      ->type_name("DEVICE")
      ->take_all();
  app.add_option("--dump", options.dumpPath,
                 "after every change, all devices' parameter images as hex (atomic)")
      ->type_name("FILE");
  app.add_option("--log", options.logPath,
                 "one line per request (default: stderr); 'ready' once listening")
      ->type_name("FILE");
  const CLI::Range count(0, 1000000);
  app.add_option("--spread-ms", options.spreadMs,
                 "the replies to one request (a search answered by many devices) go out evenly "
                 "spread over N ms, as on a real network")
      ->type_name("N")
      ->check(CLI::Range(0, 60000));
  app.add_option("--silent", f.silent,
                 "ignore the next N requests addressed to each device (with --fault-search, the "
                 "searches count among them)")
      ->type_name("N")
      ->check(count);
  app.add_option("--silent-after", f.silentAfter,
                 "answer the first N requests addressed to each device, then none")
      ->type_name("N")
      ->check(count);
  app.add_flag("--refuse-download", f.refuseDownload, "answer a download with result 0");
  app.add_option("--partial-ack", f.partialAck,
                 "take and answer only the first K entries of each dictionary request")
      ->type_name("K")
      ->check(count);
  app.add_flag("--answer-twice", f.answerTwice, "send every reply twice");
  app.add_option("--delay-ms", f.delayMs, "send replies N ms late (search replies too)")
      ->type_name("N")
      ->check(count);
  app.add_flag("--bad-checksum", f.badChecksum, "replies with a wrong checksum byte");
  app.add_flag("--oversize", f.oversize, "a 2100-byte reply instead of the real one");
  app.add_flag("--truncate", f.truncate,
               "replies cut to half their size (length and checksum made right)");
  app.add_flag("--foreign-id", f.foreignId, "add identifier 9000 to each dictionary read reply");
  app.add_flag("--foreign-mac", f.foreignMac,
               "replies name device 0200000000FE at offsets 4-9, checksum made right (search "
               "replies carry no MAC there and stay as they are)");
  app.add_flag("--fault-search", f.faultSearch, "apply the reply faults to search replies as well");
  const CLI::Validator mac(
      [](std::string& text) {
        const bool ok = text.size() == 12 && std::all_of(text.begin(), text.end(), [](char c) {
                          return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                        });
        return ok ? std::string() : "not a MAC of 12 hex digits: '" + text + "'";
      },
      "MAC");
  app.add_option("--silent-device", silentDevices,
                 "that device answers the search and nothing else (repeatable)")
      ->type_name("MAC")
      ->check(mac)
      ->take_all();
  app.add_option("--silent-texts", silentTexts,
                 "that device ignores reads of camera line texts (repeatable)")
      ->type_name("MAC")
      ->check(mac)
      ->take_all();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    help = true;
    text = app.help();
    return true;
  } catch (const CLI::ParseError& error) {
    text = std::string(error.what()) + "\n'quillon-devsim --help' tells more.";
    return false;
  }
  for (const std::string& description : devices) {
    DeviceIdentity identity;
    if (!ParseDeviceDescription(description, static_cast<int>(options.devices.size()), identity,
                                text)) {
      text = "--device: " + text;
      return false;
    }
    options.devices.push_back(identity);
  }
  for (std::string& macText : silentDevices) {
    for (char& c : macText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.silentDevices.push_back(macText);
  }
  for (std::string& macText : silentTexts) {
    for (char& c : macText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.silentTextDevices.push_back(macText);
  }
  return true;
}

int RunDevsim(const DevsimOptions& options) {
  LogFile log(options.logPath);
  if (!log.ok()) {
    std::fprintf(stderr, "quillon-devsim: cannot open log %s\n", options.logPath.c_str());
    return 1;
  }

  // A stop signal ends the loop within one receive wait.
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGINT, OnStopSignal);

  SocketApi& sockets = SystemSockets();
  std::string error;
  const int receiveSocket = OpenPortSocket(sockets, 0, error);
  if (receiveSocket < 0) {
    log.Line("error: receive socket on 0.0.0.0:1901: " + error);
    return 1;
  }
  const int sendSocket = OpenPortSocket(sockets, ParseIpv4(options.bindAddress).value_or(0), error);
  if (sendSocket < 0) {
    log.Line("error: send socket on " + options.bindAddress + ":1901: " + error);
    sockets.Close(receiveSocket);
    return 1;
  }

  Simulator simulator(options.devices, options.faults);
  auto dump = [&] {
    if (!options.dumpPath.empty() && !WriteDevsimDump(options.dumpPath, Snapshot(simulator)))
      log.Line("error: cannot write dump " + options.dumpPath);
  };
  dump();

  log.Line("ready " + std::to_string(options.devices.size()) + " devices on " +
           options.bindAddress);
  std::fputs("ready\n", stdout);
  std::fflush(stdout);

  std::vector<uint8_t> buffer(65536);
  while (!gStop) {
    std::chrono::system_clock::time_point received;
    const long size = sockets.Receive(receiveSocket, buffer.data(), buffer.size(), 200, received);
    if (size <= 0) continue;

    Simulator::Outcome outcome = simulator.Handle(std::span<const uint8_t>(
        buffer.data(), std::min(buffer.size(), static_cast<size_t>(size))));
    for (const std::string& line : outcome.log) log.Line(line);
    if (outcome.stateChanged) dump();
    if (!outcome.replies.empty() && options.faults.delayMs > 0) {
      // Held back in short steps, so that a stop request does not wait for the whole delay.
      const auto until =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(options.faults.delayMs);
      while (!gStop && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto first = std::chrono::steady_clock::now();
    const size_t count = outcome.replies.size();
    for (size_t i = 0; i < count && !gStop; ++i) {
      if (options.spreadMs > 0 && i > 0)
        std::this_thread::sleep_until(
            first +
            std::chrono::microseconds(1000LL * options.spreadMs * static_cast<long long>(i) /
                                      static_cast<long long>(count - 1)));
      const Bytes& reply = outcome.replies[i];
      if (sockets.SendTo(sendSocket, reply.data(), reply.size(), 0xFFFFFFFF, kDevicePort) < 0)
        log.Line("error: send: " + SocketErrorText(sockets.LastError()));
    }
  }

  log.Line("stopped");
  sockets.Close(sendSocket);
  sockets.Close(receiveSocket);
  return 0;
}

}  // namespace quillon::devsim
