// The receive path under hostile datagrams: a session behind a fake view, link and notifier,
// driven one step at a time. A step is a datagram handed to OnFrameReceived or one of the user's
// and the clock's actions that change what a datagram may answer (search, double-click, marks,
// download, the read timeout, worker cycles, time passing). After every step the block is checked.
//
// A fuzz input is a program of such steps; each step records its own encoding, so a run made by
// calling the steps directly (the seeds) is replayed byte for byte by RunReceivePath.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "invariants.h"

namespace quillon::fuzz {

class ReceivePathMachine {
 public:
  // Flags of a datagram step.
  static constexpr uint8_t kRepair = 0x08;        // right start byte, length field and checksum
  static constexpr uint8_t kToSelected = 0x10;    // names the selected device at offsets 4 to 9
  static constexpr uint8_t kBeforeSearch = 0x20;  // reached the PC before the latest search

  ReceivePathMachine();
  ~ReceivePathMachine();

  // Each returns an empty string, or the rule the step broke.
  std::string Datagram(Bytes frame, uint8_t flags);
  std::string Search();
  // The row of the device list (or, with none listed, a device of current or legacy firmware).
  std::string DoubleClick(uint8_t row);
  std::string Tick(uint8_t cycles);  // cycles + 1 worker cycles
  // Bit 0: write marks, else read marks. Bit 1: through the RS-485 page's button; else every
  // (how >> 2) + 1-th position is marked directly.
  std::string Mark(uint8_t how);
  std::string Download();
  std::string RunLater();
  std::string Advance(uint8_t tenths);  // the steady clock moves on by tenths x 100 ms

  // The steps so far, as a fuzz input.
  const Bytes& Program() const { return program_; }
  // The frames the session sent, oldest first.
  std::vector<Bytes> Sent() const;

 private:
  struct Parts;
  std::string Check();
  std::unique_ptr<Parts> parts_;
  Bytes program_;
};

// Runs the program in `data` step by step; the first broken rule, or empty.
std::string RunReceivePath(const uint8_t* data, size_t size);

}  // namespace quillon::fuzz
