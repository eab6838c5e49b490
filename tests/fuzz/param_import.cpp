#include "param_import.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "files/crc16.h"
#include "files/param_file.h"
#include "params/dictionary.h"
#include "params/osd_wire.h"
#include "session/config_session.h"
#include "support/fake_view.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "support/temp_folder.h"

namespace quillon::fuzz {

namespace {

// One folder for every run, removed when the process ends.
const fakes::TempFolder& Folder() {
  static const fakes::TempFolder folder;
  return folder;
}

// A file written the way a parameter file is laid out, with this harness's own hex writer.
std::string WriteImages(const ParamImages& images, uint8_t mode) {
  const char* digits = (mode & 2) ? "0123456789abcdef" : "0123456789ABCDEF";
  const std::string end = (mode & 4) ? "\n" : "\r\n";
  auto hex = [&](const void* data, size_t size) {
    std::string text;
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
      text += digits[bytes[i] >> 4];
      text += digits[bytes[i] & 15];
    }
    return text;
  };
  auto section = [&](const char* name, const void* data, size_t size) {
    const uint16_t crc = Crc16(static_cast<const uint8_t*>(data), size);
    const uint8_t crcBytes[2] = {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
    return "[" + std::string(name) + "]" + end + name + "=" + hex(data, size) + end +
           "wCRCResult=" + hex(crcBytes, 2) + end;
  };
  std::string text = (mode & 16) ? "[Other]" + end + "key=value" + end : "";
  const std::string osd = section("sOSDCommPara", &images.osd, sizeof images.osd);
  const std::string modbus = section("sModBusPara", &images.modbus, sizeof images.modbus);
  text += (mode & 8) ? modbus + osd : osd + modbus;
  return text;
}

// The program's uses of the block after an import, each into a buffer of exactly the size the
// program promises, and no entry longer than its field.
std::string CheckUsesStayInside(const DeviceParameterBlock& block) {
  const auto entry = std::make_unique<uint8_t[]>(kMaxEntrySize);
  for (int i = 0; i < block.modbus.wDictCount; ++i) {
    const uint16_t id = block.modbus.awDictId[i];
    const size_t written = EncodeEntry(block, id, entry.get());
    const std::optional<FieldLocation> field = LocateField(id);
    // A camera text goes as at most 72 bytes, a field as at most its size, and an identifier
    // without a field of its own (the "other" gear value) as a float.
    const bool cameraText = id >= kCameraTextFirstId && id <= kCameraTextLastId;
    const size_t limit = cameraText ? 72 : field ? field->size : sizeof(float);
    if (written != 3u + entry[2] || entry[2] > limit)
      return "entry " + std::to_string(id) + " takes " + std::to_string(entry[2]) +
             " bytes from a field of " + std::to_string(limit);
  }
  auto all = std::make_unique<DeviceParameterBlock>(block);
  for (int i = 0; i < all->modbus.wDictCount; ++i) all->modbus.abyDictWrite[i] = 1;
  auto chunk = std::make_unique<uint8_t[]>(kDictFrameBufferSize);
  BuildWriteChunk(*all, chunk.get(), kDictFrameBufferSize);
  for (int camera = 0; camera < 4; ++camera)
    BuildCameraTextWritePayload(block, camera, chunk.get());
  const uint8_t mac[6] = {};
  if (BuildDownloadFrame(block.osd, mac, false).size() != kDownloadFrameSize ||
      BuildDownloadFrame(block.osd, mac, true).size() != kDownloadFrameSizeLegacy)
    return "a download frame has the wrong size";
  return {};
}

// The images an input names (mode bit 0), and the file's text.
std::string FileText(const uint8_t* data, size_t size, std::optional<ParamImages>& written) {
  FuzzInput in(data, size);
  const uint8_t mode = in.Byte();
  if (mode & 1) {
    written.emplace();
    const Bytes osd = in.Take(sizeof written->osd);
    const Bytes modbus = in.Take(sizeof written->modbus);
    std::memset(&*written, 0, sizeof *written);
    if (!osd.empty()) std::memcpy(&written->osd, osd.data(), osd.size());
    if (!modbus.empty()) std::memcpy(&written->modbus, modbus.data(), modbus.size());
    return WriteImages(*written, mode);
  }
  const Bytes rest = in.Rest();
  return std::string(rest.begin(), rest.end());
}

}  // namespace

std::string ParamImportFileText(const uint8_t* data, size_t size) {
  std::optional<ParamImages> written;
  return FileText(data, size, written);
}

std::string RunParamImport(const uint8_t* data, size_t size) {
  std::optional<ParamImages> written;
  const std::string text = FileText(data, size, written);
  if (!Folder().Made()) return {};  // nowhere to write: nothing to test
  const std::string path = Folder().Write("file.ini", text);

  auto block = std::make_unique<DeviceParameterBlock>();
  fakes::RecordingLink link;
  fakes::RecordingNotifier notifier;
  fakes::FakeConfigView view;
  ConfigSession session(*block, link, notifier);
  session.AttachView(view);
  session.InitModel();
  // The busy byte that a transfer which failed left set: the file's must not replace it.
  block->modbus.byDictBusy = 1;
  view.importChoice = path;
  const DeviceParameterBlock before = *block;

  session.OnImportParams();
  session.DetachView();

  const std::vector<std::string> calls = view.pageCalls;
  if (notifier.Count() != 0) {
    if (std::string broken = CheckBlockUnchanged(before, *block); !broken.empty())
      return "a refused file changed the block: " + broken;
    if (calls.size() != 1) return "a refused file reached the pages";
    if (written) return "a file with right checksums was refused";
    return {};
  }
  if (calls != std::vector<std::string>{"ChooseImportFile", "NetParamsToPage", "Rs485ParamsToPage"})
    return "an accepted file did not refill both pages";
  constexpr size_t kBookkeeping = offsetof(sModBusPara, awDictId);
  if (std::memcmp(reinterpret_cast<const uint8_t*>(&before.modbus) + kBookkeeping,
                  reinterpret_cast<const uint8_t*>(&block->modbus) + kBookkeeping,
                  sizeof before.modbus - kBookkeeping) != 0)
    return "a file changed the dictionary bookkeeping";
  if (std::memcmp(before.abySelectedMac, block->abySelectedMac, 6) != 0 ||
      before.bLegacyLineText != block->bLegacyLineText)
    return "a file changed the selected device";
  if (written && (std::memcmp(&written->osd, &block->osd, sizeof block->osd) != 0 ||
                  std::memcmp(&written->modbus, &block->modbus, kBookkeeping) != 0))
    return "the images taken differ from the file's";
  return CheckUsesStayInside(*block);
}

}  // namespace quillon::fuzz
