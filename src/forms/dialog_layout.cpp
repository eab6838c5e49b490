#include "forms/dialog_layout.h"

#include <stdexcept>
#include <string>

namespace quillon {

namespace {

using enum ControlKind;

// Builds one dialog's table in tab order.
class LayoutBuilder {
 public:
  LayoutBuilder(int resource, std::string caption, int cx, int cy) {
    layout_.resource = resource;
    layout_.caption = std::move(caption);
    layout_.cx = cx;
    layout_.cy = cy;
  }

  // A label; `buddy` is the control it names.
  void Label(std::string text, int x, int y, int cx, int cy = 8, int buddy = kStaticId) {
    ControlLayout& c = Add(kStaticId, ControlKind::Label, x, y, cx, cy);
    c.name = c.text = std::move(text);
    c.buddy = buddy;
  }
  // A control that shows its own text (button, check box, group box).
  void Titled(int id, ControlKind kind, std::string text, int x, int y, int cx, int cy) {
    ControlLayout& c = Add(id, kind, x, y, cx, cy);
    c.name = c.text = std::move(text);
  }
  // A control named by the label beside it.
  void Named(int id, ControlKind kind, std::string name, int x, int y, int cx, int cy) {
    Add(id, kind, x, y, cx, cy).name = std::move(name);
  }
  // A label, then the control it names (by the label's text).
  void Labelled(std::string label, int lx, int ly, int lcx, int id, ControlKind kind, int x, int y,
                int cx, int cy) {
    Label(label, lx, ly, lcx, 8, id);
    Named(id, kind, std::move(label), x, y, cx, cy);
  }
  void Icon(int image, int x, int y, int cx, int cy, std::string name = {}) {
    ControlLayout& c = Add(kStaticId, ControlKind::Icon, x, y, cx, cy);
    c.image = image;
    c.name = std::move(name);
  }

  DialogLayout Take() { return std::move(layout_); }

 private:
  ControlLayout& Add(int id, ControlKind kind, int x, int y, int cx, int cy) {
    ControlLayout& c = layout_.controls.emplace_back();
    c.id = id;
    c.kind = kind;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
  }

  DialogLayout layout_;
};

DialogLayout BuildMainWindow() {
  LayoutBuilder b(IDD_CONFIG_MAIN, kMainCaption, 645, 479);
  b.Titled(kStaticId, GroupBox, "本机信息", 19, 15, 218, 39);
  b.Named(IDC_LOCAL_IP, ReadOnlyEdit, "本机IP", 33, 31, 73, 14);
  b.Named(IDC_LOCAL_PORT, ReadOnlyEdit, "端口", 122, 31, 40, 14);
  b.Titled(IDC_SEARCH, Button, "搜索", 179, 27, 50, 19);
  b.Label("设备列表", 21, 63, 33, 8, IDC_DEVICE_LIST);
  b.Titled(IDC_BATCH, Button, "批量配置", 79, 61, 50, 14);
  b.Titled(IDC_EXPORT, Button, "导出参数", 139, 61, 50, 14);
  b.Titled(IDC_IMPORT, Button, "导入参数", 199, 61, 50, 14);
  b.Named(IDC_DEVICE_LIST, ListView, "设备列表", 19, 79, 242, 102);
  b.Label("信息提示区", 19, 193, 41, 8, IDC_LOG);
  b.Titled(IDC_CLEAR_LOG, Button, "清空", 70, 192, 50, 14);
  b.Named(IDC_LOG, LogEdit, "信息提示区", 22, 213, 239, 247);
  b.Named(IDC_TABS, TabControl, "参数页", 287, 18, 338, 460);
  return b.Take();
}

DialogLayout BuildAbout() {
  LayoutBuilder b(IDD_ABOUTBOX, "关于 Quillon", 235, 55);
  b.Icon(IDR_MAINFRAME, 11, 17, 0, 0, "Quillon");
  b.Label("Quillon 2.3 版", 40, 10, 119);
  b.Titled(IDC_ABOUT_OK, DefaultButton, "确定", 178, 7, 50, 14);
  return b.Take();
}

DialogLayout BuildNetPage() {
  LayoutBuilder b(IDD_NET_PARAM, "", 336, 420);
  // The group box comes second in the tab order, so that the label before it stays on top.
  b.Label("静态IP", 12, 33, 25, 8, IDC_STATIC_IP);
  b.Titled(kStaticId, GroupBox, "设备网络属性设置", 7, 15, 322, 90);
  b.Label("子网掩码", 147, 33, 33, 8, IDC_NET_MASK);
  b.Label("网关", 20, 56, 17, 8, IDC_GATEWAY);
  b.Named(IDC_STATIC_IP, Ipv4, "静态IP", 42, 29, 100, 15);
  b.Named(IDC_NET_MASK, Ipv4, "子网掩码", 185, 29, 100, 15);
  b.Named(IDC_GATEWAY, Ipv4, "网关", 42, 52, 100, 15);
  b.Titled(IDC_DHCP, CheckBox, "DHCP", 149, 55, 32, 10);
  b.Titled(IDC_NET_DOWNLOAD, Button, "下载数据", 139, 390, 57, 23);
  b.Named(IDC_CAMERA_TABS, TabControl, "摄像头", 7, 109, 322, 277);
  b.Labelled("远程升级地址", 14, 81, 49, IDC_UPGRADE_IP, Ipv4, 65, 77, 100, 15);
  b.Labelled("目标端口", 177, 81, 33, IDC_UPGRADE_TARGET_PORT, Edit, 211, 78, 40, 14);
  b.Labelled("源端口", 257, 81, 25, IDC_UPGRADE_SOURCE_PORT, Edit, 284, 78, 40, 14);
  return b.Take();
}

DialogLayout BuildCameraPage() {
  static const char* const kRows[8] = {"第一行", "第二行", "第三行", "第四行",
                                       "第五行", "第六行", "第七行", "第八行"};
  LayoutBuilder b(IDD_CAMERA, "", 336, 260);
  b.Labelled("摄像头地址", 8, 14, 41, IDC_CAMERA_IP, Ipv4, 51, 11, 100, 15);
  b.Labelled("摄像头端口", 156, 14, 41, IDC_CAMERA_PORT, Edit, 200, 11, 40, 14);
  b.Labelled("源端口", 243, 14, 25, IDC_CAMERA_SOURCE_PORT, Edit, 271, 11, 40, 14);
  b.Label("用户名", 8, 44, 25, 8, IDC_CAMERA_USER);
  b.Label("密码", 98, 44, 17, 8, IDC_CAMERA_PASSWORD);
  b.Named(IDC_CAMERA_USER, Edit, "用户名", 35, 41, 59, 14);
  b.Named(IDC_CAMERA_PASSWORD, Edit, "密码", 118, 41, 65, 14);
  b.Label("行数", 186, 44, 17, 8, IDC_CAMERA_LINE_COUNT);
  const std::string text = "默认内容", x = "X坐标", y = "Y坐标";
  b.Label(text, 94, 65, 33);
  b.Label(x, 181, 67, 21);
  b.Label(y, 230, 67, 21);
  for (int j = 0; j < 8; ++j) {
    const std::string row = kRows[j];
    b.Label(row, 28, 84 + 19 * j, 25, 8, IDC_LINE_TEXT + j);
    b.Named(IDC_LINE_TEXT + j, Edit, row + ' ' + text, 66, 81 + 19 * j, 90, 14);
    b.Named(IDC_LINE_X + j, Edit, row + ' ' + x, 171, 81 + 19 * j, 40, 14);
    b.Named(IDC_LINE_Y + j, Edit, row + ' ' + y, 221, 81 + 19 * j, 40, 14);
  }
  b.Named(IDC_CAMERA_BRAND, ComboBox, "品牌", 250, 41, 62, 53);
  b.Named(IDC_CAMERA_LINE_COUNT, ComboBox, "行数", 205, 42, 32, 61);
  return b.Take();
}

DialogLayout BuildRs485Page() {
  LayoutBuilder b(IDD_RS485, "", 331, 435);
  // The port.
  b.Labelled("485口通信协议：", 10, 12, 66, IDC_RS485_PROTOCOL, ComboBox, 80, 9, 96, 40);
  b.Labelled("485轮询间隔：", 10, 31, 66, IDC_RS485_POLL_INTERVAL, Edit, 80, 28, 44, 14);
  b.Label("100-65535ms", 128, 31, 48);
  b.Labelled("485超时时间：", 10, 50, 66, IDC_RS485_TIMEOUT, Edit, 80, 47, 44, 14);
  b.Label("100-65535ms", 128, 50, 48);
  b.Labelled("485通信容错次数：", 10, 69, 66, IDC_RS485_RETRY_LIMIT, Edit, 80, 66, 44, 14);
  b.Label("1-65535次", 128, 69, 48);
  b.Labelled("485通信波特率：", 186, 31, 62, IDC_RS485_BAUD_RATE, ComboBox, 250, 28, 70, 80);
  b.Labelled("奇偶校验：", 186, 50, 62, IDC_RS485_PARITY, ComboBox, 250, 47, 70, 50);
  b.Labelled("485槽位编号：", 10, 92, 66, IDC_RS485_SLOT, ComboBox, 80, 89, 56, 100);
  b.Icon(IDI_RS485_SLOT, 142, 87, 20, 18);

  // The slot, inside its group.
  b.Titled(kStaticId, GroupBox, "", 7, 110, 317, 262);
  b.Titled(IDC_SLOT_ENABLE, CheckBox, "485槽位启用", 16, 123, 64, 10);
  b.Labelled("视频通道显示位置：", 114, 124, 70, IDC_SLOT_CHANNEL, ComboBox, 186, 121, 56, 80);
  // The four boxes of a Modbus read request, in the order of its fields.
  b.Label("从站地址", 16, 144, 32, 8, IDC_SLOT_SLAVE_ADDR);
  b.Label("功能码", 84, 144, 26, 8, IDC_SLOT_FUNC_CODE);
  b.Label("起始寄存器地址", 128, 144, 56, 8, IDC_SLOT_START_REG);
  b.Label("寄存器数量", 214, 144, 40, 8, IDC_SLOT_REG_COUNT);
  b.Named(IDC_SLOT_SLAVE_ADDR, Edit, "从站地址", 16, 154, 32, 14);
  b.Label("十进制", 50, 157, 24);
  b.Label("+", 76, 157, 6);
  b.Named(IDC_SLOT_FUNC_CODE, ComboBox, "功能码", 84, 154, 34, 30);
  b.Label("+", 120, 157, 6);
  b.Named(IDC_SLOT_START_REG, Edit, "起始寄存器地址", 128, 154, 40, 14);
  b.Label("十进制", 170, 157, 24);
  b.Label("+", 206, 157, 6);
  b.Named(IDC_SLOT_REG_COUNT, Edit, "寄存器数量", 214, 154, 32, 14);
  b.Label("十进制", 248, 157, 24);
  b.Labelled("数据寄存器偏移：", 16, 179, 62, IDC_SLOT_DATA_OFFSET, Edit, 80, 176, 44, 14);
  b.Label("十进制", 128, 179, 24);
  b.Labelled("数据类型：", 16, 198, 62, IDC_SLOT_DATA_TYPE, ComboBox, 80, 195, 150, 140);
  b.Label("输出 =  A*X + B", 16, 217, 62, 8, IDC_SLOT_SCALE_A);
  b.Labelled("A:", 80, 217, 10, IDC_SLOT_SCALE_A, Edit, 92, 214, 56, 14);
  b.Labelled("B:", 158, 217, 10, IDC_SLOT_OFFSET_B, Edit, 170, 214, 56, 14);
  b.Labelled("数据位数：", 16, 236, 62, IDC_SLOT_DATA_BITS, Edit, 80, 233, 44, 14);
  b.Titled(IDC_SLOT_REMOTE_ADJUST, Button, "遥调参数设置", 170, 232, 64, 16);
  b.Labelled("数据小数点位数：", 16, 255, 62, IDC_SLOT_DECIMALS, ComboBox, 80, 252, 44, 50);
  b.Labelled("485槽位名称：", 16, 274, 62, IDC_SLOT_NAME, Edit, 80, 271, 146, 14);
  b.Labelled("485槽位单位：", 16, 293, 62, IDC_SLOT_UNIT, Edit, 80, 290, 56, 14);
  b.Labelled("开关量报警数值：", 16, 312, 62, IDC_SLOT_ALARM_VALUE, Edit, 80, 309, 56, 14);
  b.Labelled("报警显示内容：", 16, 331, 62, IDC_SLOT_ALARM_TEXT, Edit, 80, 328, 76, 14);
  b.Labelled("正常显示内容：", 16, 350, 62, IDC_SLOT_NORMAL_TEXT, Edit, 80, 347, 76, 14);

  b.Titled(IDC_RS485_READ, Button, "读取", 90, 384, 60, 20);
  b.Titled(IDC_RS485_DOWNLOAD, Button, "下载", 180, 384, 60, 20);
  return b.Take();
}

DialogLayout BuildGearDialog() {
  LayoutBuilder b(IDD_REMOTE_ADJUST, "遥调参数设置", 250, 237);
  const std::string value = "数值", text = "显示内容";
  b.Label("档位", 22, 10, 20);
  b.Label(value, 76, 10, 20);
  b.Label(text, 160, 10, 34);
  for (int j = 0; j < 9; ++j) {
    const int y = 24 + 19 * j;
    if (j < 8) {
      const std::string row = std::to_string(j + 1);
      b.Label(row, 28, y + 3, 10, 8, GearValueId(j));
      b.Named(GearValueId(j), Edit, row + ' ' + value, 56, y, 64, 14);
      b.Named(GearTextId(j), Edit, row + ' ' + text, 134, y, 96, 14);
    } else {
      b.Label("其他数值", 12, y + 3, 36, 8, GearTextId(j));
      b.Named(GearTextId(j), Edit, "其他数值 " + text, 134, y, 96, 14);
    }
  }
  // Not the default button: Enter in a box must not save.
  b.Titled(IDC_GEAR_SAVE, Button, "保存", 95, 202, 60, 18);
  return b.Take();
}

DialogLayout BuildBatchDialog() {
  LayoutBuilder b(IDD_BATCH, "批量配置", 440, 290);
  b.Label("批量设备", 7, 7, 40, 8, IDC_BATCH_LIST);
  b.Named(IDC_BATCH_LIST, CheckListView, "批量设备", 7, 18, 426, 130);
  b.Titled(IDC_BATCH_ALL, Button, "全选", 7, 152, 50, 14);
  b.Titled(IDC_BATCH_NONE, Button, "全不选", 63, 152, 50, 14);
  // The line under the list: "已完成 n/m，失败 k" once a batch has started.
  b.Named(IDC_BATCH_SUMMARY, Label, "", 125, 155, 200, 8);

  b.Titled(kStaticId, GroupBox, "发送内容", 7, 172, 206, 54);
  b.Titled(IDC_BATCH_FROM_PAGES, RadioButton, "当前页面参数", 14, 185, 80, 10);
  b.Titled(IDC_BATCH_FROM_FILE, RadioButton, "参数文件", 14, 205, 50, 10);
  b.Named(IDC_BATCH_FILE, Edit, "参数文件路径", 66, 203, 96, 14);
  b.Titled(IDC_BATCH_BROWSE, Button, "浏览...", 166, 203, 40, 14);

  b.Titled(kStaticId, GroupBox, "配置内容", 219, 172, 214, 54);
  b.Titled(IDC_BATCH_NETWORK, CheckBox, "网络参数", 226, 185, 56, 10);
  b.Titled(IDC_BATCH_CAMERAS, CheckBox, "摄像头参数", 290, 185, 66, 10);
  b.Titled(IDC_BATCH_RS485, CheckBox, "485参数", 364, 185, 56, 10);
  b.Labelled("起始IP", 226, 206, 30, IDC_BATCH_START_IP, Ipv4, 258, 203, 100, 14);

  b.Titled(IDC_BATCH_VERIFY, CheckBox, "下载后校验", 7, 236, 70, 10);
  b.Labelled("同时配置台数", 90, 237, 56, IDC_BATCH_PARALLEL, Edit, 148, 234, 30, 14);

  b.Titled(IDC_BATCH_START, Button, "开始", 215, 266, 50, 16);
  b.Titled(IDC_BATCH_STOP, Button, "停止", 271, 266, 50, 16);
  b.Titled(IDC_BATCH_EXPORT, Button, "导出结果", 327, 266, 50, 16);
  b.Titled(IDC_BATCH_CLOSE, Button, "关闭", 383, 266, 50, 16);
  return b.Take();
}

}  // namespace

const ControlLayout& DialogLayout::Control(int id) const {
  for (const ControlLayout& c : controls)
    if (c.id == id && id != kStaticId) return c;
  throw std::out_of_range("no control " + std::to_string(id) + " in dialog " +
                          std::to_string(resource));
}

const DialogLayout& MainWindowLayout() {
  static const DialogLayout layout = BuildMainWindow();
  return layout;
}

const DialogLayout& AboutLayout() {
  static const DialogLayout layout = BuildAbout();
  return layout;
}

const DialogLayout& NetPageLayout() {
  static const DialogLayout layout = BuildNetPage();
  return layout;
}

const DialogLayout& CameraPageLayout() {
  static const DialogLayout layout = BuildCameraPage();
  return layout;
}

const DialogLayout& Rs485PageLayout() {
  static const DialogLayout layout = BuildRs485Page();
  return layout;
}

const DialogLayout& GearDialogLayout() {
  static const DialogLayout layout = BuildGearDialog();
  return layout;
}

const DialogLayout& BatchDialogLayout() {
  static const DialogLayout layout = BuildBatchDialog();
  return layout;
}

}  // namespace quillon
