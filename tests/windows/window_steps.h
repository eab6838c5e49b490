// One session at the window, step by step, as a user plays it against the simulated devices of
// scripts/wine-test.sh: search, the batch dialog opened and closed, read, the network download with
// a camera page's edits, the RS-485 read, a slot and its gear table edited, a refused and an
// accepted RS-485 download, export, and import with its question before the download, and the about
// box. The Qt window on Linux and the Win32 window under Wine both follow this table; the frames
// they send, the boxes they show, the file they write and the devices' state afterwards must be the
// same byte for byte.
#pragma once

#include <string>
#include <vector>

#include "forms/dialog_layout.h"
#include "params/page_lists.h"
#include "report/notifier.h"

namespace quillon::steps {

enum class Act {
  Click,        // a button or check box
  Type,         // text typed into an edit box or a list's field
  Choose,       // item `number` of a list
  Address,      // an IPv4 address control's four fields, "a.b.c.d"
  Tab,          // tab `number` of a tab control
  DoubleClick,  // the device list's row of MAC `text`
  WaitRows,     // until the device list has `number` rows
  WaitLog,      // until the log holds `text`
  Box,          // the box captioned `text` that the last step opened, with `icon`, closed with
                //   button `number`
  Export,       // "导出参数", the file `text` of the output folder chosen
  Import,       // "导入参数", the same
  Shot,         // the window's picture as docs/windows-`text`.png (Win32, on a display only)
  About,        // the about box from the system menu, pictured as `text`, closed with its button
};
// Where a control is: the main window, its pages, camera page 2, or the dialog over the main
// window (the batch dialog, the gear dialog, a box).
enum class Where { Main, Net, Camera2, Rs485, Dialog };

inline constexpr int kIdYes = 6, kIdOk = 1;  // a box's buttons, as Windows numbers them

struct Step {
  Act act = Act::Shot;
  Where where = Where::Main;
  int id = kStaticId;
  std::string text = {};
  int number = 0;
  BoxIcon icon = BoxIcon::None;
};

// The simulated devices' first MAC, of current firmware.
inline constexpr const char* kReadMac = "00E04C3A1B01";

// A box as both runs record it: caption, icon and text on one line, the imported file's path
// (which differs between the systems) left out.
inline std::string BoxRecord(const std::string& caption, BoxIcon icon, std::string text) {
  const std::string from = "参数文件 ", to = "，";
  if (const size_t a = text.find(from); a != std::string::npos)
    if (const size_t b = text.find(to, a); b != std::string::npos)
      text.replace(a + from.size(), b - a - from.size(), "FILE");
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\\n");
  static const char* const icons[] = {"none", "exclamation", "question"};
  return caption + "|" + icons[static_cast<int>(icon)] + "|" + text + "\n";
}

inline const std::vector<Step>& WindowSteps() {
  using enum Act;
  using enum Where;
  static const std::vector<Step> steps = {
      {Shot, Main, kStaticId, "main-window"},
      {Click, Main, IDC_SEARCH},
      {WaitRows, Main, IDC_DEVICE_LIST, "", 4},
      {Shot, Main, kStaticId, "main-window-search"},
      {Click, Main, IDC_BATCH},
      {Shot, Dialog, kStaticId, "batch-dialog"},
      {Click, Dialog, IDC_BATCH_CLOSE},
      {DoubleClick, Main, IDC_DEVICE_LIST, kReadMac},
      {WaitLog, Main, IDC_LOG, "摄像头4字典读取成功...\r\n"},
      {Shot, Main, kStaticId, "main-window-read"},
      {Address, Net, IDC_GATEWAY, "192.168.1.254"},
      {Click, Net, IDC_DHCP},
      {Type, Net, IDC_UPGRADE_TARGET_PORT, "8080"},
      {Tab, Net, IDC_CAMERA_TABS, "", 2},
      {Address, Camera2, IDC_CAMERA_IP, "192.168.1.108"},
      {Type, Camera2, IDC_CAMERA_USER, "admin"},
      {Type, Camera2, IDC_LINE_TEXT + 0, "东门 入口"},
      {Type, Camera2, IDC_LINE_TEXT + 1, "温度：25.6℃"},
      {Type, Camera2, IDC_LINE_X + 0, "16"},
      {Choose, Camera2, IDC_CAMERA_BRAND, "", 1},
      {Type, Camera2, IDC_CAMERA_LINE_COUNT, "3"},
      {Shot, Main, kStaticId, "camera-page"},
      {Click, Net, IDC_NET_DOWNLOAD},
      {WaitLog, Main, IDC_LOG, "设置完成\r\n"},
      {WaitLog, Main, IDC_LOG, "下载参数成功\r\n"},
      {Tab, Main, IDC_TABS, "", 1},
      {Click, Rs485, IDC_RS485_READ},
      {WaitLog, Main, IDC_LOG, "正在读取字典,已完成100%\r\n"},
      {Choose, Rs485, IDC_RS485_SLOT, "", 2},
      {Click, Rs485, IDC_SLOT_ENABLE},
      {Type, Rs485, IDC_SLOT_NAME, "进水泵 档位"},
      {Choose, Rs485, IDC_SLOT_DATA_TYPE, "", DT_REMOTE_ADJUST},
      {Shot, Main, kStaticId, "rs485-page"},
      {Click, Rs485, IDC_SLOT_REMOTE_ADJUST},
      {Type, Dialog, GearValueId(0), "1"},
      {Type, Dialog, GearTextId(0), "低速"},
      {Type, Dialog, GearValueId(1), "2"},
      {Type, Dialog, GearTextId(1), "高速"},
      {Type, Dialog, GearTextId(8), "停机"},
      {Shot, Dialog, kStaticId, "gear-dialog"},
      {Click, Dialog, IDC_GEAR_SAVE},
      {Type, Rs485, IDC_RS485_PARITY, "偶"},
      {Click, Rs485, IDC_RS485_DOWNLOAD},
      {Shot, Dialog, kStaticId, "message-box"},
      {Box, Main, kStaticId, "提示", kIdOk, BoxIcon::Exclamation},
      {Choose, Rs485, IDC_RS485_PARITY, "", 2},
      {Click, Rs485, IDC_RS485_DOWNLOAD},
      {WaitLog, Main, IDC_LOG, "正在下载字典,已完成100%\r\n"},
      {Export, Main, IDC_EXPORT, "exported.ini"},
      {Import, Main, IDC_IMPORT, "exported.ini"},
      {Click, Rs485, IDC_RS485_DOWNLOAD},
      {Box, Main, kStaticId, "提示", kIdYes, BoxIcon::Exclamation},
      {WaitLog, Main, IDC_LOG, "正在下载字典,已完成100%\r\n"},
      {About, Main, kStaticId, "about-box"},
  };
  return steps;
}

}  // namespace quillon::steps
