#include "forms/net_param_form.h"

#include <algorithm>

#include "forms/dialog_layout.h"
#include "text/number_text.h"

namespace quillon {

namespace {

std::string Word(uint32_t value) { return FormatUnsigned(value); }

// A number box: unsigned decimal text; text that is no number gives 0; the low 16 bits stay.
uint16_t WordOf(const std::string& text) {
  return static_cast<uint16_t>(ParseUnsignedDecimal(text) & 0xFFFF);
}

void Copy(const uint8_t (&from)[4], Ipv4Value& to) { std::copy(from, from + 4, to.begin()); }
void Copy(const Ipv4Value& from, uint8_t (&to)[4]) { std::copy(from.begin(), from.end(), to); }

const std::string& NameOf(int id) { return CameraPageLayout().Control(id).name; }

}  // namespace

CameraForm::CameraForm(uint8_t cameraIndex)
    : brand(NameOf(IDC_CAMERA_BRAND), kBrands),
      lineCount(NameOf(IDC_CAMERA_LINE_COUNT), kLineCounts),
      cameraIndex_(cameraIndex) {}

void CameraForm::Fill(const sOSDCommPara& osd) {
  const sCameraPara& camera = osd.asCamera[cameraIndex_ & 3];
  Copy(camera.abyCameraIP, address);
  port = Word(camera.wCameraPort);
  sourcePort = Word(camera.wSourcePort);
  user.Show(camera.szUser, sizeof camera.szUser);
  password.Show(camera.szPassword, sizeof camera.szPassword);
  // A count of 0 or above 8 leaves no item selected, as does a brand beyond the list.
  lineCount.Select(static_cast<int>(camera.byLineCount) - 1);
  brand.Select(camera.byBrand);
  for (int j = 0; j < kRows; ++j) {
    const sOverlayLine& line = camera.asLine[j];
    texts[j].Show(line.szText, sizeof line.szText);
    xs[j] = Word(line.wX);
    ys[j] = Word(line.wY);
  }
}

std::optional<RefusedList> CameraForm::Refusal() const {
  if (auto list = lineCount.Refusal()) return list;
  return brand.Refusal();
}

void CameraForm::Store(sOSDCommPara& osd) const {
  sCameraPara& camera = osd.asCamera[cameraIndex_ & 3];
  Copy(address, camera.abyCameraIP);
  camera.wCameraPort = WordOf(port);
  camera.wSourcePort = WordOf(sourcePort);
  user.Store(camera.szUser, sizeof camera.szUser, kLoginTextLimit);
  password.Store(camera.szPassword, sizeof camera.szPassword, kLoginTextLimit);
  camera.byLineCount = static_cast<uint8_t>(lineCount.Value(0));  // none: 0
  camera.byBrand = static_cast<uint8_t>(brand.Value(255));        // none: 255
  for (int j = 0; j < kRows; ++j) {
    sOverlayLine& line = camera.asLine[j];
    texts[j].Store(line.szText, sizeof line.szText, kLineTextLimit);
    line.wX = WordOf(xs[j]);
    line.wY = WordOf(ys[j]);
  }
}

FormControls CameraForm::Controls() {
  FormControls controls = {
      {IDC_CAMERA_IP, &address},
      {IDC_CAMERA_PORT, &port},
      {IDC_CAMERA_SOURCE_PORT, &sourcePort},
      {IDC_CAMERA_USER, &user},
      {IDC_CAMERA_PASSWORD, &password},
      {IDC_CAMERA_BRAND, &brand},
      {IDC_CAMERA_LINE_COUNT, &lineCount},
  };
  for (int j = 0; j < kRows; ++j) {
    controls.push_back({IDC_LINE_TEXT + j, &texts[j]});
    controls.push_back({IDC_LINE_X + j, &xs[j]});
    controls.push_back({IDC_LINE_Y + j, &ys[j]});
  }
  return controls;
}

NetParamForm::NetParamForm()
    : cameras{CameraForm(0), CameraForm(1), CameraForm(2), CameraForm(3)} {}

void NetParamForm::Fill(const sOSDCommPara& osd) {
  Copy(osd.abyIP, staticIp);
  Copy(osd.abyNetMask, netMask);
  Copy(osd.abyGateway, gateway);
  // Anything but 0 shows as checked; the page itself only ever stores 0 or 1.
  dhcp = osd.byDHCP != 0;
  Copy(osd.abyUpgradeIP, upgradeIp);
  targetPort = Word(osd.wUpgradeDstPort);
  sourcePort = Word(osd.wUpgradeSrcPort);
  for (CameraForm& camera : cameras) camera.Fill(osd);
  filled_ = true;
}

std::optional<RefusedList> NetParamForm::Refusal() const {
  for (int k = 0; k < kCameras; ++k) {
    std::optional<RefusedList> list = cameras[k].Refusal();
    if (!list) continue;
    list->name = std::string(kCameraTabs[k]) + ' ' + list->name;
    return list;
  }
  return std::nullopt;
}

std::optional<RefusedList> NetParamForm::Store(sOSDCommPara& osd) {
  if (!filled_) return std::nullopt;
  if (std::optional<RefusedList> list = Refusal()) return list;
  Copy(staticIp, osd.abyIP);
  Copy(netMask, osd.abyNetMask);
  Copy(gateway, osd.abyGateway);
  osd.byDHCP = dhcp ? 1 : 0;
  Copy(upgradeIp, osd.abyUpgradeIP);
  osd.wUpgradeDstPort = WordOf(targetPort);
  osd.wUpgradeSrcPort = WordOf(sourcePort);
  for (const CameraForm& camera : cameras) camera.Store(osd);
  return std::nullopt;
}

FormControls NetParamForm::Controls() {
  return {
      {IDC_STATIC_IP, &staticIp},
      {IDC_NET_MASK, &netMask},
      {IDC_GATEWAY, &gateway},
      {IDC_DHCP, &dhcp},
      {IDC_UPGRADE_IP, &upgradeIp},
      {IDC_UPGRADE_TARGET_PORT, &targetPort},
      {IDC_UPGRADE_SOURCE_PORT, &sourcePort},
  };
}

}  // namespace quillon
