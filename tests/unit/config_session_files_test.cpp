// "导出参数" and "导入参数" through the session, with a fake window whose file dialogs answer
// with paths in a folder of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "files/param_file.h"
#include "link/discovery.h"
#include "link/frame.h"
#include "params/dictionary.h"
#include "session/config_session.h"
#include "support/fake_view.h"
#include "support/param_file_samples.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "support/temp_folder.h"

using namespace quillon;
using namespace quillon::fakes;

namespace {

using Calls = std::vector<std::string>;

class ConfigSessionFilesTest : public ::testing::Test {
 protected:
  ConfigSessionFilesTest() : session(block, link, notifier) {
    session.AttachView(view);
    session.SetLocalClock(ExportMoment);
  }
  void SetUp() override { ASSERT_TRUE(folder.Made()); }

  // The one box shown, as caption, text and whether it has no icon.
  void ExpectOneBox(const std::string& text) {
    const auto boxes = notifier.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Quillon");
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].icon, BoxIcon::None);
  }

  std::string Import(const std::string& name, const std::string& text) {
    view.importChoice = folder.Write(name, text);
    view.pageCalls.clear();
    session.OnImportParams();
    return *view.importChoice;
  }

  DeviceParameterBlock block{};
  FakeConfigView view;
  RecordingLink link;
  RecordingNotifier notifier;
  ConfigSession session;
  TempFolder folder;
};

TEST_F(ConfigSessionFilesTest, ExportStoresBothPagesBeforeTheDialogAndWritesTheFile) {
  // The pages hold the known values; the dictionary bookkeeping is the program's own.
  const ParamImages known = KnownImages();
  view.onRs485PageToParams = [&] {
    block.modbus.byProtocol = known.modbus.byProtocol;
    block.modbus.dwBaudRate = known.modbus.dwBaudRate;
  };
  view.onNetPageToParams = [&] { block.osd = known.osd; };
  block.modbus.wDictCount = 566;
  block.modbus.abyDictWrite[0] = 1;
  view.exportChoice = folder / "out.ini";

  session.OnExportParams();

  EXPECT_EQ(view.pageCalls, (Calls{"Rs485PageToParams", "NetPageToParams", "ChooseExportFile"}));
  EXPECT_EQ(view.exportDefaultNames, (Calls{"VRN20261206_0752.ini"}));
  EXPECT_EQ(folder.Read("out.ini"), KnownFileText());
  EXPECT_EQ(folder.Names(), (Calls{"out.ini"}));
  // A new file holds the cameras' passwords: its owner's alone, whatever the umask.
  EXPECT_EQ(folder.Mode("out.ini").value_or(0600), 0600u);
  EXPECT_EQ(notifier.Count(), 0u);
}

// A name without an extension gets ".ini"; any other extension is refused aloud, since no
// import would take the file.
TEST_F(ConfigSessionFilesTest, ExportAddsTheExtensionOrRefusesAnother) {
  const struct {
    const char* chosen;  // "" cancels
    const char* written;
    bool refused;
  } cases[] = {
      {"", nullptr, false},          {"params", "params.ini", false},
      {"ini", "ini.ini", false},     {"other.INI", "other.INI", false},
      {"params.txt", nullptr, true}, {"params.Ini", nullptr, true},
      {"x.ini.bak", nullptr, true},
  };
  for (const auto& c : cases) {
    view.pageCalls.clear();
    notifier.Clear();
    view.exportChoice = *c.chosen ? std::optional(folder / c.chosen) : std::nullopt;
    session.OnExportParams();
    // The pages were stored all the same.
    EXPECT_EQ(view.pageCalls, (Calls{"Rs485PageToParams", "NetPageToParams", "ChooseExportFile"}));
    if (c.refused) {
      ExpectOneBox("参数文件写入失败");
    } else {
      EXPECT_EQ(notifier.Count(), 0u) << c.chosen;
    }
    if (c.written) {
      EXPECT_TRUE(DecodeParamFile(IniProfile(folder.Read(c.written)))) << c.chosen;
    }
  }
  EXPECT_EQ(folder.Names(), (Calls{"ini.ini", "other.INI", "params.ini"}));
}

TEST_F(ConfigSessionFilesTest, ExportOntoAnExistingFileKeepsItsOtherSectionsAndKeys) {
  const ParamImages known = KnownImages();
  block.osd = known.osd;
  block.modbus = known.modbus;
  const std::string path = folder.Write("existing.ini",
                                        "; 备注\r\n[Other]\r\nname=x\r\n"
                                        "[sOSDCommPara]\r\nsOSDCommPara=00\r\nnote=keep\r\n\r\n"
                                        "[sModBusPara]\r\nwCRCResult=FFFF\r\n");
  folder.SetMode("existing.ini", 0640);
  view.exportChoice = path;
  session.OnExportParams();

  EXPECT_EQ(folder.Read("existing.ini"),
            "; 备注\r\n[Other]\r\nname=x\r\n"
            "[sOSDCommPara]\r\nsOSDCommPara=" +
                KnownOsdDigits() + "\r\nnote=keep\r\nwCRCResult=1438\r\n\r\n" +
                "[sModBusPara]\r\nwCRCResult=0620\r\nsModBusPara=" + KnownModBusDigits() + "\r\n");
  EXPECT_EQ(folder.Mode("existing.ini").value_or(0640), 0640u);
  EXPECT_EQ(folder.Names(), (Calls{"existing.ini"}));
  EXPECT_EQ(notifier.Count(), 0u);
}

// The old file, if any, stays as it was, and nothing is left behind.
TEST_F(ConfigSessionFilesTest, AnExportThatCannotBeWrittenSaysSo) {
  folder.MakeFolder("folder.ini");
  const std::string big(kMaxParamFileBytes + 1, ';');
  folder.Write("big.ini", big);
  for (const char* name : {"no-such-folder/p.ini", "folder.ini", "big.ini"}) {
    notifier.Clear();
    view.exportChoice = folder / name;
    session.OnExportParams();
    ExpectOneBox("参数文件写入失败");
  }
  EXPECT_EQ(folder.Names(), (Calls{"big.ini", "folder.ini"}));
  EXPECT_EQ(folder.Read("big.ini"), big);
}

TEST_F(ConfigSessionFilesTest, ImportShowsBothImagesAndKeepsTheProgramsOwnDictionaryBookkeeping) {
  session.InitModel();
  const sModBusPara before = block.modbus;
  // A file whose bookkeeping would mark every entry of a count far beyond the arrays.
  ParamImages file = KnownImages();
  file.modbus.wDictCount = 0xFFFF;
  for (auto& id : file.modbus.awDictId) id = kCameraTextFirstId;
  std::memset(file.modbus.abyDictWrite, 1, sizeof file.modbus.abyDictWrite);
  std::memset(file.modbus.abyDictRead, 1, sizeof file.modbus.abyDictRead);
  file.modbus.byDictBusy = 1;
  IniProfile profile;
  EncodeParamFile(file, profile);
  Import("file.ini", profile.Text());

  EXPECT_EQ(view.pageCalls, (Calls{"ChooseImportFile", "NetParamsToPage", "Rs485ParamsToPage"}));
  EXPECT_EQ(std::memcmp(&block.osd, &file.osd, sizeof block.osd), 0);
  const size_t kept = offsetof(sModBusPara, awDictId);
  EXPECT_EQ(std::memcmp(&block.modbus, &file.modbus, kept), 0);
  EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&block.modbus) + kept,
                        reinterpret_cast<const uint8_t*>(&before) + kept, sizeof before - kept),
            0);
  EXPECT_EQ(block.modbus.wDictCount, 566);
  EXPECT_EQ(CountPendingWrites(block.modbus) + CountPendingReads(block.modbus), 0);
  EXPECT_EQ(notifier.Count(), 0u);
  EXPECT_TRUE(link.Sent().empty());
  EXPECT_EQ(session.Flags().bParamsRead, 0);
  EXPECT_EQ(session.Flags().b485Read, 0);
}

TEST_F(ConfigSessionFilesTest, AFileThatFailsItsCheckChangesNothing) {
  session.InitModel();
  block.osd.abyIP[0] = 10;
  block.modbus.wPollInterval = 1000;
  const DeviceParameterBlock before = block;
  const std::vector<std::string> lines = KnownFileLines();
  std::string changedDigit = lines[1];
  changedDigit[13 + 2 * 200 + 1] = '9';
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"one changed digit",
       JoinLines({lines[0], changedDigit, lines[2], lines[3], lines[4], lines[5]}, "\r\n")},
      {"a bad second CRC",
       JoinLines({lines[0], lines[1], lines[2], lines[3], lines[4], "wCRCResult=0602"}, "\r\n")},
      {"no sModBusPara section", JoinLines({lines[0], lines[1], lines[2]}, "\r\n")},
      {"binary", std::string("\x00\xFF\r[=\n\x80", 7)},
  };
  for (const auto& c : cases) {
    notifier.Clear();
    Import("bad.ini", c.text);
    ExpectOneBox("参数载入错误");
    EXPECT_EQ(view.pageCalls, (Calls{"ChooseImportFile"})) << c.what;
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0) << c.what;
  }
  notifier.Clear();
  view.importChoice = folder / "missing.ini";
  session.OnImportParams();
  ExpectOneBox("参数载入错误");
}

TEST_F(ConfigSessionFilesTest, ImportReadsNothingForACancelOrAnotherExtension) {
  const DeviceParameterBlock before = block;
  for (const char* name : {"known.txt", "known.Ini"}) {
    Import(name, KnownFileText());
    EXPECT_EQ(view.pageCalls, (Calls{"ChooseImportFile"})) << name;
  }
  view.importChoice.reset();
  view.pageCalls.clear();
  session.OnImportParams();
  EXPECT_EQ(view.pageCalls, (Calls{"ChooseImportFile"}));
  EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
  EXPECT_EQ(notifier.Count(), 0u);
}

// The worker thread encodes entries from the block while the user exports (the thread
// sanitizer runs this test); an import meanwhile is refused, so the device gets exactly the
// page's values and never a mix of them and the file's.
TEST_F(ConfigSessionFilesTest, ExportsGoOnAndImportsAreRefusedWhileTheWorkerDownloads) {
  session.InitModel();
  IniProfile profile;
  EncodeParamFile(KnownImages(), profile);
  view.importChoice = folder.Write("in.ini", profile.Text());
  view.exportChoice = folder / "out.ini";
  auto pending = [&] {
    std::lock_guard lock(session.ModelMutex());
    return CountPendingWrites(block.modbus);
  };
  {
    std::lock_guard lock(session.ModelMutex());
    for (int i = 0; i < block.modbus.wDictCount; ++i)
      std::atomic_ref<uint8_t>(block.modbus.abyDictWrite[i]).store(1);
  }
  const sModBusPara page = block.modbus;
  session.StartWorker();
  // Plays the device: acknowledges every chunk the worker sends, with an export and an import
  // between any two.
  size_t answered = 0;
  int rounds = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    const std::vector<Bytes> sent = link.Sent();
    for (; answered < sent.size(); ++answered) {
      const Bytes& chunk = sent[answered];
      Bytes body(chunk.begin() + 4, chunk.begin() + 10);  // the MAC
      body.insert(body.end(), {0x42, 0x1F, chunk[12]});
      for (size_t pos = 13; pos + 3 <= chunk.size() - 1; pos += 3 + chunk[pos + 2])
        body.insert(body.end(), {chunk[pos], chunk[pos + 1]});
      session.OnFrameReceived(BuildReplyFrame(CMD_DICTIONARY, body.data(), body.size()),
                              std::chrono::system_clock::now());
    }
    if (pending() == 0 || std::chrono::steady_clock::now() > deadline) break;
    session.OnExportParams();
    session.OnImportParams();
    ++rounds;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  session.StopWorker();
  EXPECT_EQ(pending(), 0);
  EXPECT_EQ(notifier.Count(), static_cast<size_t>(rounds));  // one refusal per import
  for (const RecordedBox& box : notifier.Boxes())
    ASSERT_EQ(box.text, "正在传输参数，请等待本次传输结束后再操作");
  EXPECT_EQ(std::count(view.pageCalls.begin(), view.pageCalls.end(), "ChooseImportFile"), 0);
  // What the chunks were encoded from is still the page's, not the file's.
  EXPECT_EQ(std::memcmp(&block.modbus, &page, offsetof(sModBusPara, awDictId)), 0);
  EXPECT_TRUE(DecodeParamFile(IniProfile(folder.Read("out.ini"))));
}

// An import's values come from no device: the RS-485 download asks first, naming the file.
TEST_F(ConfigSessionFilesTest, AnImportedRs485DownloadNamesTheFile) {
  session.InitModel();
  session.Flags().b485Read = 1;  // read from some device before
  const std::string path = folder.Write("known.ini", KnownFileText());
  view.importChoice = path;
  session.OnImportParams();
  ParseMacText("00E04C3A1B02", block.abySelectedMac);
  session.OnRs485Download();
  const auto boxes = notifier.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "提示");
  EXPECT_EQ(boxes[0].text, "页面上的485参数来自参数文件 " + path +
                               "，当前选中的是设备 00E04C3A1B02。\r\n是否将这些485参数下载到设备 "
                               "00E04C3A1B02？");
  EXPECT_EQ(CountPendingWrites(block.modbus), 0);  // "否"
}

}  // namespace
