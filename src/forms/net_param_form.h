// The network page and its four camera pages as plain values: the device's own address
// settings, the remote-upgrade server, and per camera its address, ports, login, brand, line
// count and eight overlay lines. Fill shows the network block; Store writes it back, for the
// page and then for cameras 0 to 3.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "forms/form_fields.h"
#include "params/parameter_block.h"

namespace quillon {

class CameraForm {
 public:
  static constexpr int kRows = 8;

  explicit CameraForm(uint8_t cameraIndex = 0);

  uint8_t CameraIndex() const { return cameraIndex_; }

  // Camera record `CameraIndex()` of the block into the form.
  void Fill(const sOSDCommPara& osd);
  // The form into that record. Text bytes behind the terminators and byLineAux keep their
  // previous content. The caller has checked Refusal().
  void Store(sOSDCommPara& osd) const;
  // The first list that holds what it cannot store.
  std::optional<RefusedList> Refusal() const;

  FormControls Controls();

  Ipv4Value address{};
  std::string port, sourcePort;
  GbkTextBox user, password;
  ListChoice brand, lineCount;
  std::array<GbkTextBox, kRows> texts;
  std::array<std::string, kRows> xs, ys;

 private:
  uint8_t cameraIndex_;
};

class NetParamForm {
 public:
  static constexpr int kCameras = 4;

  NetParamForm();

  void Fill(const sOSDCommPara& osd);
  // Bytes 13 to 27 and 36 to 51 of the block are never written. A form never filled stores
  // nothing: its empty boxes and lists would overwrite the block with blanks. A form with a list
  // that holds what it cannot store stores nothing and names that list (with its camera).
  std::optional<RefusedList> Store(sOSDCommPara& osd);
  std::optional<RefusedList> Refusal() const;
  bool Filled() const { return filled_; }

  // The page's own controls; each camera page's are its form's.
  FormControls Controls();

  Ipv4Value staticIp{}, netMask{}, gateway{}, upgradeIp{};
  bool dhcp = false;
  std::string targetPort, sourcePort;
  std::array<CameraForm, kCameras> cameras;

 private:
  bool filled_ = false;
};

}  // namespace quillon
