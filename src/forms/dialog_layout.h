// Where every control of every window stands: one table per dialog, in dialog units and in tab
// order, with each control's id, kind, own text and accessible name. Every window of the program
// (the Qt one on Linux, the native one on Windows) builds its controls from these tables, so the
// arrangement, the texts and the names cannot differ between them.
#pragma once

#include <string>
#include <vector>

namespace quillon {

enum class ControlKind {
  Label,         // static text, left-aligned, top-aligned
  GroupBox,      // a frame with an optional caption; drawn beneath the controls it frames
  Edit,          // one-line edit box, left-aligned, scrolls horizontally
  ReadOnlyEdit,  // the same, read-only
  LogEdit,       // multi-line edit box with a vertical scroll bar that follows what is added
  Button,
  DefaultButton,  // the dialog's accept button (Enter)
  CheckBox,       // automatic, two states
  ComboBox,       // drop-down list with an edit field, no sorting; cy is the open list's height
  Ipv4,           // IPv4 address control: four byte fields
  ListView,       // report view, single selection, full-row selection
  CheckListView,  // the same with a check box in each row's first cell
  RadioButton,    // automatic; the first of a group starts it
  TabControl,
  Icon,  // an icon resource (`image`); a zero size keeps the icon's own size
};

// Labels and other controls that nothing refers to by id.
inline constexpr int kStaticId = -1;

struct ControlLayout {
  int id = kStaticId;
  ControlKind kind = ControlKind::Label;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::string text;                  // the control's own text, UTF-8
  std::string name;                  // accessible name; a label's is its text
  int buddy = kStaticId;             // a label: the control it names
  int image = 0;                     // an icon: its resource id
};

struct DialogLayout {
  int resource = 0;     // the dialog template's resource id
  std::string caption;  // empty for a page
  int cx = 0, cy = 0;   // dialog units
  std::vector<ControlLayout> controls;

  // The control of `id`; throws std::out_of_range for an id the dialog does not have.
  const ControlLayout& Control(int id) const;
};

// Icons.
inline constexpr int IDR_MAINFRAME = 128;   // the program's icon
inline constexpr int IDI_RS485_SLOT = 137;  // beside the RS-485 slot selector
// The one string resource: the about item of the main window's system menu.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr const char* kAboutMenuText = "关于 Quillon(&A)...";
inline constexpr int IDM_ABOUTBOX = 16;  // its command id

// The main window (dialog template 102).
enum MainWindowId {
  IDD_CONFIG_MAIN = 102,
  IDC_LOCAL_IP = 1000,
  IDC_LOCAL_PORT = 1001,
  IDC_SEARCH = 1002,
  IDC_DEVICE_LIST = 1003,
  IDC_LOG = 1004,
  IDC_TABS = 1005,
  IDC_CLEAR_LOG = 1051,
  IDC_EXPORT = 1088,
  IDC_IMPORT = 1089,
  IDC_BATCH = 1090,
};

// The about box (dialog template 100).
enum AboutId {
  IDD_ABOUTBOX = 100,
  IDC_ABOUT_OK = 1,  // the accept button
};

// The network page (dialog template 142).
enum NetPageId {
  IDD_NET_PARAM = 142,
  IDC_STATIC_IP = 1101,
  IDC_NET_MASK = 1102,
  IDC_GATEWAY = 1103,
  IDC_DHCP = 1104,
  IDC_NET_DOWNLOAD = 1105,
  IDC_CAMERA_TABS = 1106,
  IDC_UPGRADE_IP = 1107,
  IDC_UPGRADE_TARGET_PORT = 1108,
  IDC_UPGRADE_SOURCE_PORT = 1109,
};

// A camera page (dialog template 143); rows j = 0 to 7 add j to the row ids.
enum CameraPageId {
  IDD_CAMERA = 143,
  IDC_CAMERA_IP = 1201,
  IDC_CAMERA_PORT = 1202,
  IDC_CAMERA_SOURCE_PORT = 1203,
  IDC_CAMERA_USER = 1204,
  IDC_CAMERA_PASSWORD = 1205,
  IDC_CAMERA_BRAND = 1206,
  IDC_CAMERA_LINE_COUNT = 1207,
  IDC_LINE_TEXT = 1210,
  IDC_LINE_X = 1220,
  IDC_LINE_Y = 1230,
};

// The RS-485 page (dialog template 139).
enum Rs485PageId {
  IDD_RS485 = 139,
  IDC_RS485_SLOT = 1037,
  IDC_SLOT_SLAVE_ADDR = 1038,
  IDC_SLOT_START_REG = 1039,
  IDC_SLOT_REG_COUNT = 1040,
  IDC_SLOT_FUNC_CODE = 1041,
  IDC_SLOT_DATA_TYPE = 1042,
  IDC_SLOT_DATA_OFFSET = 1043,
  IDC_RS485_PROTOCOL = 1044,
  IDC_SLOT_SCALE_A = 1045,
  IDC_SLOT_OFFSET_B = 1046,
  IDC_SLOT_DECIMALS = 1047,
  IDC_SLOT_NAME = 1048,
  IDC_SLOT_UNIT = 1049,
  IDC_RS485_READ = 1050,
  IDC_RS485_DOWNLOAD = 1051,
  IDC_SLOT_ALARM_VALUE = 1052,
  IDC_SLOT_DATA_BITS = 1054,
  IDC_SLOT_REMOTE_ADJUST = 1056,
  IDC_SLOT_ALARM_TEXT = 1076,
  IDC_SLOT_NORMAL_TEXT = 1077,
  IDC_RS485_POLL_INTERVAL = 1078,
  IDC_RS485_TIMEOUT = 1079,
  IDC_RS485_RETRY_LIMIT = 1080,
  IDC_RS485_PARITY = 1083,
  IDC_SLOT_CHANNEL = 1084,
  IDC_RS485_BAUD_RATE = 1085,
  IDC_SLOT_ENABLE = 1086,
};

// The gear dialog (dialog template 141): gear j's value box is 1057 + 2j, its text box 1058 + 2j;
// the text of any other value (j = 8) is 1074.
enum GearDialogId {
  IDD_REMOTE_ADJUST = 141,
  IDC_GEAR_VALUE = 1057,
  IDC_GEAR_TEXT = 1058,
  IDC_GEAR_SAVE = 1075,
};
constexpr int GearValueId(int gear) { return IDC_GEAR_VALUE + 2 * gear; }
constexpr int GearTextId(int entry) { return IDC_GEAR_TEXT + 2 * entry; }

// The batch dialog (dialog template 150).
enum BatchDialogId {
  IDD_BATCH = 150,
  IDC_BATCH_LIST = 1301,
  IDC_BATCH_ALL = 1302,
  IDC_BATCH_NONE = 1303,
  IDC_BATCH_FROM_PAGES = 1304,
  IDC_BATCH_FROM_FILE = 1305,
  IDC_BATCH_FILE = 1306,
  IDC_BATCH_BROWSE = 1307,
  IDC_BATCH_NETWORK = 1308,
  IDC_BATCH_CAMERAS = 1309,
  IDC_BATCH_RS485 = 1310,
  IDC_BATCH_START_IP = 1311,
  IDC_BATCH_VERIFY = 1312,
  IDC_BATCH_PARALLEL = 1313,
  IDC_BATCH_START = 1314,
  IDC_BATCH_STOP = 1315,
  IDC_BATCH_EXPORT = 1316,
  IDC_BATCH_CLOSE = 1317,
  IDC_BATCH_SUMMARY = 1318,
};

const DialogLayout& MainWindowLayout();
const DialogLayout& AboutLayout();
const DialogLayout& NetPageLayout();
const DialogLayout& CameraPageLayout();
const DialogLayout& Rs485PageLayout();
const DialogLayout& GearDialogLayout();
const DialogLayout& BatchDialogLayout();

// The main window's texts that are no control of its own.
inline constexpr const char* kMainCaption = "Quillon|网络视频字符叠加器配置软件-V2.3";
// The five help lines the information log starts with.
inline constexpr const char* kHelpText =
    "单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，"
    "点击\"配置参数\"按钮，设备将保存参数并自动重启\r\n"
    "注意事项:\r\n"
    "1、确保软件与设备在同一局域网内\r\n"
    "2、请确定当前PC只使用一个网卡\r\n"
    "3、请按照 搜索->双击选中并读取->配置参数 的步骤来操作\r\n";
inline constexpr const char* kDeviceColumns[4] = {"设备IP", "设备名称", "MAC地址", "固件版本"};
inline constexpr const char* kPageTabs[2] = {"网络参数", "485参数"};
inline constexpr const char* kCameraTabs[4] = {"摄像头一", "摄像头二", "摄像头三", "摄像头四"};
// Where the pages stand over their tab control's client rectangle, in pixels: the main window's
// two pages, and the network page's four camera pages.
struct PageInsets {
  int left, top, right, bottom;
};
inline constexpr PageInsets kMainPageInsets{5, 20, 5, 5};
inline constexpr PageInsets kCameraPageInsets{8, 20, 8, 8};
// The device list's column widths: 3/11 of its client width each, 2/11 for the last.
constexpr int DeviceColumnWidth(int column, int clientWidth) {
  return column == 3 ? clientWidth * 2 / 11 : clientWidth * 3 / 11;
}

}  // namespace quillon
