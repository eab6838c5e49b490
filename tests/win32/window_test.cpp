// The Win32 window with a recording link and its real message boxes, driven by messages from the
// test's thread while the window runs its modal loop: start-up state, tabs, the keys that must
// not end the program, the device list, the boxes and refusals, lists typed into, the gear
// dialog, the about box and the file dialogs. Each box is found by its caption and closed.
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <regex>
#include <thread>

#include "files/param_file.h"
#include "params/page_lists.h"
#include "support/batch_fakes.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "support/temp_folder.h"
#include "win32/batch_dlg.h"
#include "win32/form_view.h"
#include "win32/net_param_page.h"
#include "win32/rs485_page.h"
#include "win32/wide_text.h"
#include "win32/win32_notifier.h"
#include "window_driver.h"

namespace quillon::fakes {

int RunSteps(const std::string& out, const std::string& shots);
int Probe(const std::string& program, int runs, const std::string& argument);
int Bare(bool controls);
int Discover(int devices, int receiveBuffer);
int RunBatch(const std::string& out, const std::string& readMac);

namespace {

const char kHelp[] =
    "单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，"
    "点击\"配置参数\"按钮，设备将保存参数并自动重启\r\n注意事项:\r\n"
    "1、确保软件与设备在同一局域网内\r\n2、请确定当前PC只使用一个网卡\r\n"
    "3、请按照 搜索->双击选中并读取->配置参数 的步骤来操作\r\n";

// A search reply from 192.168.1.100, MAC 001122334455, firmware 03.07, name DEV1.
const Bytes kSearchReply = {0x55, 0x00, 0x18, 0x02, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01,
                            0xA8, 0xC0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x07, 0x03,
                            0x00, 0x00, 0x44, 0x45, 0x56, 0x31, 0x00, 0xE8};

// The reply with a GBK name, firmware major `major`, its checksum put right.
Bytes Reply(const Bytes& name, uint8_t major) {
  Bytes frame = kSearchReply;
  frame.resize(22);
  frame[19] = major;
  for (uint8_t byte : name) frame.push_back(byte);
  frame.push_back(0);
  uint8_t sum = 0;
  for (size_t i = 3; i < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame.push_back(sum);
  return frame;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = std::make_unique<WindowRun>(block_, link_, [] {
      return std::vector<uint32_t>{0x0A4D0001, 0xC0A80105};
    });
    ASSERT_TRUE(run_->Started());
  }
  void TearDown() override { run_.reset(); }

  HWND At(Page page, int id) { return run_->Control(page, id); }
  // Clicks, and closes the box it opens with `button`: the box's text.
  std::string BoxAfterClick(Page page, int id, const std::string& caption, int button = IDOK) {
    run_->Click(page, id);
    const Box box = run_->WaitBox(caption);
    EXPECT_TRUE(box) << "no box " << caption << " after a click on " << id;
    EXPECT_TRUE(run_->Press(box, button));
    return box.text;
  }
  // A parameter file of `images` in the test's folder, imported through the open dialog.
  void Import(const ParamImages& images) {
    const std::string path = folder_ / "known.ini";
    ASSERT_TRUE(ExportParamFile(path, images));
    run_->Click(Page::Main, IDC_IMPORT);
    std::string shown;
    ASSERT_TRUE(run_->AnswerFileDialog(path, &shown));
    EXPECT_EQ(shown, "*.ini");
    ASSERT_TRUE(run_->Settle());
  }

  DeviceParameterBlock block_{};
  RecordingLink link_;
  TempFolder folder_;
  std::unique_ptr<WindowRun> run_;
};

TEST_F(WindowTest, StartsAsTheProgramStarts) {
  const HWND main = run_->Main();
  const LONG style = ::GetWindowLongW(main, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_TRUE(::GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_APPWINDOW);  // in the task bar
  EXPECT_TRUE(::SendMessageW(main, WM_GETICON, ICON_BIG, 0));
  EXPECT_TRUE(::SendMessageW(main, WM_GETICON, ICON_SMALL, 0));
  // The version information of the program's resources.
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::vector<char> version(::GetFileVersionInfoSizeW(self, nullptr));
  wchar_t* fileVersion = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::GetFileVersionInfoW(self, 0, static_cast<DWORD>(version.size()), version.data()) &&
              ::VerQueryValueW(version.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                               reinterpret_cast<void**>(&fileVersion), &length));
  EXPECT_EQ(std::wstring(fileVersion), L"2.3");
  EXPECT_EQ(TextOf(At(Page::Main, IDC_LOG)), kHelp);
  EXPECT_EQ(TextOf(At(Page::Main, IDC_LOCAL_IP)), "10.77.0.1");
  EXPECT_EQ(TextOf(At(Page::Main, IDC_LOCAL_PORT)), "1901");
  for (int id : {IDC_LOCAL_IP, IDC_LOCAL_PORT})
    EXPECT_TRUE(::GetWindowLongW(At(Page::Main, id), GWL_STYLE) & ES_READONLY);

  // The about item closes the system menu, after a separator.
  const HMENU menu = ::GetSystemMenu(main, FALSE);
  const int items = ::GetMenuItemCount(menu);
  wchar_t text[64] = {};
  ::GetMenuStringW(menu, IDM_ABOUTBOX, text, 64, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(text), L"关于 Quillon(&A)...");
  EXPECT_EQ(::GetMenuItemID(menu, items - 1), static_cast<UINT>(IDM_ABOUTBOX));
  EXPECT_EQ(::GetMenuState(menu, static_cast<UINT>(items - 2), MF_BYPOSITION) & MF_SEPARATOR,
            static_cast<UINT>(MF_SEPARATOR));

  // The columns: 3/11 of the client width each, 2/11 for the last.
  const HWND list = At(Page::Main, IDC_DEVICE_LIST);
  RECT client{};
  ::GetClientRect(list, &client);
  const wchar_t* headings[] = {L"设备IP", L"设备名称", L"MAC地址", L"固件版本"};
  const int widths[] = {client.right * 3 / 11, client.right * 3 / 11, client.right * 3 / 11,
                        client.right * 2 / 11};
  for (int c = 0; c < 4; ++c) {
    wchar_t heading[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = heading;
    column.cchTextMax = 32;
    ::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(std::wstring(heading), headings[c]);
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0), widths[c]);
  }
  EXPECT_TRUE(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  const LONG listStyle = ::GetWindowLongW(list, GWL_STYLE);
  EXPECT_EQ(listStyle & (LVS_TYPEMASK | LVS_SINGLESEL), LVS_REPORT | LVS_SINGLESEL);

  // Both tab controls and their pages: the first page shown, over the panel by the insets.
  const std::pair<HWND, std::vector<std::wstring>> tabs[] = {
      {At(Page::Main, IDC_TABS), {L"网络参数", L"485参数"}},
      {At(Page::Net, IDC_CAMERA_TABS), {L"摄像头一", L"摄像头二", L"摄像头三", L"摄像头四"}}};
  for (const auto& [control, names] : tabs) {
    ASSERT_EQ(::SendMessageW(control, TCM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
      wchar_t name[32] = {};
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = name;
      item.cchTextMax = 32;
      ::SendMessageW(control, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
      EXPECT_EQ(std::wstring(name), names[i]);
    }
  }
  EXPECT_TRUE(::IsWindowVisible(run_->Dialog(Page::Net)));
  EXPECT_FALSE(::IsWindowVisible(run_->Dialog(Page::Rs485)));
  RECT panel{}, page{};
  ::GetClientRect(At(Page::Main, IDC_TABS), &panel);
  ::GetWindowRect(run_->Dialog(Page::Rs485), &page);
  ::MapWindowPoints(nullptr, At(Page::Main, IDC_TABS), reinterpret_cast<POINT*>(&page), 2);
  EXPECT_EQ(page.left, 5);
  EXPECT_EQ(page.top, 20);
  EXPECT_EQ(panel.right - page.right, 5);
  EXPECT_EQ(panel.bottom - page.bottom, 5);
  EXPECT_TRUE(link_.Sent().empty());
}

TEST_F(WindowTest, TabsShowOnePageAtATime) {
  struct Case {
    Page tabs;
    int id, tab;
    std::vector<Page> shown, hidden;
  };
  const Case cases[] = {
      {Page::Main, IDC_TABS, 1, {Page::Rs485}, {Page::Net}},
      {Page::Main, IDC_TABS, 0, {Page::Net}, {Page::Rs485}},
      {Page::Net,
       IDC_CAMERA_TABS,
       3,
       {Page::Camera3},
       {Page::Camera0, Page::Camera1, Page::Camera2}},
      {Page::Net,
       IDC_CAMERA_TABS,
       0,
       {Page::Camera0},
       {Page::Camera1, Page::Camera2, Page::Camera3}},
  };
  for (const Case& c : cases) {
    run_->ClickTab(c.tabs, c.id, c.tab);
    ASSERT_TRUE(run_->Settle());
    for (Page p : c.shown) EXPECT_TRUE(::IsWindowVisible(run_->Dialog(p))) << c.tab;
    for (Page p : c.hidden) EXPECT_FALSE(::IsWindowVisible(run_->Dialog(p))) << c.tab;
  }
}

TEST_F(WindowTest, EnterAndEscapeDoNothingButTheCloseBoxEndsTheWindow) {
  for (HWND target : {At(Page::Main, IDC_LOG), At(Page::Camera0, IDC_CAMERA_USER),
                      At(Page::Net, IDC_UPGRADE_TARGET_PORT), At(Page::Rs485, IDC_RS485_PARITY)})
    for (UINT key : {VK_ESCAPE, VK_RETURN}) run_->Key(target, key);
  // What the keys posted in turn is taken too.
  ASSERT_TRUE(run_->Settle() && run_->Settle());
  EXPECT_TRUE(::IsWindowVisible(run_->Main()));
  EXPECT_TRUE(run_->OpenDialogs().empty());
  EXPECT_TRUE(link_.Sent().empty());
  ::PostMessageW(run_->Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(run_->Main()); }));
}

TEST_F(WindowTest, SearchListsEveryReplyNewestFirstInChinese) {
  run_->Click(Page::Main, IDC_SEARCH);
  ASSERT_TRUE(run_->Settle());
  ASSERT_EQ(link_.Sent().size(), 1u);
  EXPECT_EQ(link_.Sent()[0], (Bytes{0xAA, 0x00, 0x01, 0x02, 0x02}));
  EXPECT_EQ(link_.Refreshes(), 1);
  EXPECT_EQ(run_->Log(), "搜索...\r\n");
  // From the receive thread's side; "1号泵站" in GBK.
  std::thread([&] { link_.Deliver(kSearchReply); }).join();
  link_.Deliver(Reply({0x31, 0xBA, 0xC5, 0xB1, 0xC3, 0xD5, 0xBE}, 2));
  ASSERT_TRUE(WaitUntil([&] { return run_->Rows().size() == 2; }));
  EXPECT_EQ(run_->Rows()[0],
            (std::vector<std::string>{"192.168.1.100", "1号泵站", "001122334455", "02.07"}));
  EXPECT_EQ(run_->Rows()[1],
            (std::vector<std::string>{"192.168.1.100", "DEV1", "001122334455", "03.07"}));
  // First-generation firmware: warned, and listed all the same.
  link_.Deliver(Reply({0x4F, 0x4C, 0x44}, 1));
  const Box warning = run_->WaitBox("警告");
  EXPECT_EQ(warning.text,
            "请使用老版（V1.X版本)"
            "配置软件进行配置\r\n此款软件不适用于此设备\r\n继续操作可能导致设备工作异常");
  EXPECT_TRUE(run_->Press(warning, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return run_->Rows().size() == 3; }));
  EXPECT_EQ(run_->Rows()[0][3], "01.07");
  EXPECT_EQ(run_->Log(), "搜索...\r\n搜索到设备\r\n搜索到设备\r\n搜索到设备\r\n");
  // A double click reads the row's device; "清空" empties the log.
  run_->DoubleClickRow(1);
  ASSERT_TRUE(WaitUntil([&] { return link_.Sent().size() == 2; }));
  EXPECT_EQ(link_.Sent()[1],
            (Bytes{0xAA, 0x00, 0x07, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02}));
  // Rows that come above the selected one move it down with its device, and what the list
  // shows is its own rows in the window, cell by cell.
  const HWND list = At(Page::Main, IDC_DEVICE_LIST);
  EXPECT_TRUE(::GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA);
  std::thread([&] {
    for (uint8_t major : {4, 5}) link_.Deliver(Reply({0x4E, 0x45, 0x57}, major));
  }).join();
  ASSERT_TRUE(WaitUntil([&] { return run_->Rows().size() == 5; }));
  EXPECT_EQ(run_->Rows()[0][3], "05.07");
  EXPECT_EQ(run_->Rows()[3][1], "1号泵站");
  EXPECT_EQ(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
  EXPECT_EQ(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  run_->Click(Page::Main, IDC_CLEAR_LOG);
  ASSERT_TRUE(run_->Settle());
  EXPECT_EQ(run_->Log(), "");
}

TEST_F(WindowTest, RefusalsAreBoxesOfTheirOwn) {
  const std::tuple<Page, int, const char*> refusals[] = {
      {Page::Net, IDC_NET_DOWNLOAD, "请先双击设备列表读取参数"},
      {Page::Rs485, IDC_RS485_READ, "请先双击设备列表读取参数"},
      {Page::Rs485, IDC_RS485_DOWNLOAD, "请先读取485参数后下载"}};
  for (const auto& [page, id, text] : refusals) EXPECT_EQ(BoxAfterClick(page, id, "提示"), text);
  EXPECT_TRUE(link_.Sent().empty());
}

TEST_F(WindowTest, ImportedValuesShowAndListsFollowTheForm) {
  ParamImages images{};
  images.osd.abyIP[0] = 192;
  images.osd.abyIP[3] = 64;
  std::memcpy(images.osd.asCamera[0].asLine[0].szText, "\xB6\xAB\xC3\xC5", 4);  // 东门
  images.modbus.byProtocol = 1;
  images.modbus.asSlot[2].dwDataType = DT_REMOTE_ADJUST;
  std::memcpy(images.modbus.asSlot[2].szName, "\xD1\xB9\xC1\xA6", 4);  // 压力
  images.modbus.asSlot[2].afGearValue[0] = 1.5f;
  Import(images);
  DWORD address = 0;
  ::SendMessageW(At(Page::Net, IDC_STATIC_IP), IPM_GETADDRESS, 0,
                 reinterpret_cast<LPARAM>(&address));
  EXPECT_EQ(address, MAKEIPADDRESS(192, 0, 0, 64));
  EXPECT_EQ(TextOf(At(Page::Camera0, IDC_LINE_TEXT)), "东门");
  EXPECT_EQ(TextOf(At(Page::Rs485, IDC_RS485_PROTOCOL)), "标准ModBus规约");
  EXPECT_EQ(TextOf(At(Page::Rs485, IDC_RS485_SLOT)), "槽位1");

  // The label of a slot typed into the selector shows that slot; its type sets the states.
  run_->Type(Page::Rs485, IDC_RS485_SLOT, "槽位3");
  ASSERT_TRUE(run_->Settle());
  EXPECT_EQ(TextOf(At(Page::Rs485, IDC_SLOT_NAME)), "压力");
  EXPECT_TRUE(::IsWindowEnabled(At(Page::Rs485, IDC_SLOT_REMOTE_ADJUST)));
  EXPECT_FALSE(::IsWindowEnabled(At(Page::Rs485, IDC_SLOT_UNIT)));
  run_->Choose(Page::Rs485, IDC_SLOT_DATA_TYPE, DT_SWITCH);
  ASSERT_TRUE(run_->Settle());
  EXPECT_FALSE(::IsWindowEnabled(At(Page::Rs485, IDC_SLOT_REMOTE_ADJUST)));
  EXPECT_TRUE(::IsWindowEnabled(At(Page::Rs485, IDC_SLOT_ALARM_TEXT)));
  run_->Choose(Page::Rs485, IDC_SLOT_DATA_TYPE, DT_REMOTE_ADJUST);

  // The gear dialog shows the slot's table; Enter closes it without saving, "保存" saves.
  for (UINT close : {UINT{VK_RETURN}, 0u}) {
    run_->Click(Page::Rs485, IDC_SLOT_REMOTE_ADJUST);
    const Box gear = run_->WaitBox("遥调参数设置");
    ASSERT_TRUE(gear);
    EXPECT_EQ(TextOf(::GetDlgItem(gear.hwnd, GearValueId(0))), "1.500");
    run_->Type(Page::Modal, GearValueId(0), "2.5");
    ASSERT_TRUE(run_->Settle());
    if (close)
      run_->Key(::GetDlgItem(gear.hwnd, GearTextId(0)), close);
    else
      run_->Click(Page::Modal, IDC_GEAR_SAVE);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(gear.hwnd); }));
  }
  run_->Click(Page::Rs485, IDC_SLOT_REMOTE_ADJUST);
  const Box gear = run_->WaitBox("遥调参数设置");
  EXPECT_EQ(TextOf(::GetDlgItem(gear.hwnd, GearValueId(0))), "2.500");
  EXPECT_TRUE(run_->Press(gear, IDCANCEL));

  // Text that is no item refuses the slot change, which keeps the slot shown.
  run_->Type(Page::Rs485, IDC_SLOT_CHANNEL, "第九路");
  run_->Choose(Page::Rs485, IDC_RS485_SLOT, 3);
  const Box refused = run_->WaitBox("提示");
  EXPECT_EQ(refused.text, "视频通道显示位置：“第九路”不是列表中的选项，请从列表中选择");
  EXPECT_TRUE(run_->Press(refused, IDOK));
  EXPECT_EQ(TextOf(At(Page::Rs485, IDC_RS485_SLOT)), "槽位3");
}

TEST_F(WindowTest, ExportWritesWhatThePagesHoldUnderTheNameTheDialogOffers) {
  Import(ParamImages{});
  run_->TypeAddress(Page::Net, IDC_GATEWAY, {"10", "", "3", "4"});  // a blank field is 0
  run_->Type(Page::Camera1, IDC_CAMERA_PASSWORD, "密码123");
  run_->Click(Page::Main, IDC_EXPORT);
  std::string offered;
  ASSERT_TRUE(run_->AnswerFileDialog(folder_ / "参数 备份", &offered));
  EXPECT_TRUE(std::regex_match(offered, std::regex("VRN\\d{8}_\\d{4}\\.ini"))) << offered;
  ASSERT_TRUE(run_->Settle());
  // The name as typed, Chinese and all, with the extension the dialog adds.
  const std::optional<ParamImages> written = ImportParamFile(folder_ / "参数 备份.ini");
  ASSERT_TRUE(written);
  EXPECT_EQ(std::vector<uint8_t>(written->osd.abyGateway, written->osd.abyGateway + 4),
            (std::vector<uint8_t>{10, 0, 3, 4}));
  EXPECT_STREQ(written->osd.asCamera[1].szPassword,
               "\xC3\xDC\xC2\xEB"
               "123");
}

TEST_F(WindowTest, AboutBoxFromTheSystemMenuOnly) {
  for (WPARAM command : {SC_MINIMIZE, SC_RESTORE})
    ::PostMessageW(run_->Main(), WM_SYSCOMMAND, command, 0);
  ASSERT_TRUE(run_->Settle());
  EXPECT_TRUE(run_->OpenDialogs().empty());
  ::PostMessageW(run_->Main(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  const Box about = run_->WaitBox("关于 Quillon");
  EXPECT_EQ(about.text, "Quillon 2.3 版");
  EXPECT_TRUE(run_->Press(about, IDOK));
}

// Every control of a form shows its value and reads back what it holds, on the test's own
// thread: a distinct value put into the form shows in the control of its id, and a value put
// into the control comes back into the form.
void CheckBoundBothWays(HWND dialog, const FormControls& form, const std::function<void()>& show,
                        const std::function<void()>& read) {
  for (const FormControl& c : form) {
    const HWND control = ::GetDlgItem(dialog, c.id);
    ASSERT_TRUE(control) << c.id;
    const std::string id = std::to_string(c.id);
    if (auto* text = std::get_if<std::string*>(&c.value)) {
      **text = id;
      show();
      EXPECT_EQ(TextOf(control), id);
      win32::SetText(control, "w" + id);
      read();
      EXPECT_EQ(**text, "w" + id);
    } else if (auto* box = std::get_if<GbkTextBox*>(&c.value)) {
      (*box)->text = "文" + id;
      show();
      EXPECT_EQ(TextOf(control), "文" + id);
      win32::SetText(control, "字" + id);
      read();
      EXPECT_EQ((*box)->text, "字" + id);
    } else if (auto* checked = std::get_if<bool*>(&c.value)) {
      for (const bool value : {true, false}) {
        **checked = value;
        show();
        EXPECT_EQ(::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED, value) << id;
        ::SendMessageW(control, BM_SETCHECK, value ? BST_UNCHECKED : BST_CHECKED, 0);
        read();
        EXPECT_EQ(**checked, !value) << id;
      }
    } else if (auto* list = std::get_if<ListChoice*>(&c.value)) {
      const int last = (*list)->Count() - 1;
      ASSERT_EQ(::SendMessageW(control, CB_GETCOUNT, 0, 0), (*list)->Count()) << id;
      (*list)->Select(last);
      show();
      EXPECT_EQ(::SendMessageW(control, CB_GETCURSEL, 0, 0), last) << id;
      EXPECT_EQ(TextOf(control), (*list)->Items()[static_cast<size_t>(last)].label) << id;
      (*list)->SetState(last, "typed");  // typed text that is no item shows as typed
      show();
      EXPECT_EQ(TextOf(control), "typed") << id;
      // The user picks the first item, then types over it.
      ::SendMessageW(control, CB_SETCURSEL, 0, 0);
      ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(c.id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
      win32::SetText(control, "x" + id);
      read();
      EXPECT_EQ((*list)->Selected(), 0) << id;
      EXPECT_EQ((*list)->Text(), "x" + id);
    } else if (auto* address = std::get_if<Ipv4Value*>(&c.value)) {
      **address = {1, 2, 3, static_cast<uint8_t>(c.id)};
      show();
      DWORD shown = 0;
      ::SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown));
      EXPECT_EQ(shown, MAKEIPADDRESS(1, 2, 3, static_cast<uint8_t>(c.id))) << id;
      ::SendMessageW(control, IPM_SETADDRESS, 0, MAKEIPADDRESS(9, 8, 7, 6));
      read();
      EXPECT_EQ(**address, (Ipv4Value{9, 8, 7, 6})) << id;
    }
  }
}

TEST(Win32PagesTest, EveryControlOfEveryPageIsBoundBothWays) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_INTERNET_CLASSES};
  ::InitCommonControlsEx(&controls);
  const HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 900, nullptr,
                                        nullptr, nullptr, nullptr);
  PageForms forms;
  win32::CNetParamPage net(forms.net);
  net.CreatePage(parent);
  net.MakeCameraPages();
  CheckBoundBothWays(
      net.Hwnd(), forms.net.Controls(), [&] { net.Show(forms.net); }, [&] { net.Read(forms.net); });
  for (int k = 0; k < NetParamForm::kCameras; ++k) {
    CameraForm& camera = forms.net.cameras[static_cast<size_t>(k)];
    CheckBoundBothWays(
        net.CameraPage(k).Hwnd(), camera.Controls(), [&] { net.CameraPage(k).Show(camera); },
        [&] { net.CameraPage(k).Read(camera); });
  }
  win32::CRs485Page rs485(forms.rs485);
  rs485.CreatePage(parent);
  CheckBoundBothWays(
      rs485.Hwnd(), forms.rs485.Controls(), [&] { rs485.Show(forms.rs485); },
      [&] { rs485.Read(forms.rs485); });
  ::DestroyWindow(parent);
}

// The batch dialog run as the window runs it, on a thread of its own: its inputs bound both
// ways, the rows' check boxes (none for a first-generation device), and its ways of closing
// while a batch runs or not.
TEST(Win32BatchDialogTest, BoundCheckedAndClosedOnlyOnceTheBatchIsDone) {
  BatchForm form;
  form.Fill({{"192.168.1.64", "1号机房", "00E04C3A1B01", "32.05"},
             {"192.168.1.65", "2号机房", "00E04C3A1B02", "32.05"},
             {"192.168.1.66", "老设备", "00E04C3A1B03", "01.02", true}});
  FakeBatchService service;
  RecordingNotifier notifier;
  win32::CBatchDlg dlg(form, service, notifier, [](const std::string&) {});
  std::atomic<bool> ended = false;
  std::thread ui([&] {
    dlg.RunModal(nullptr);
    ended = true;
  });
  // However the test ends: the batch stopped and done, the dialog closed, the thread joined.
  struct Closed {
    std::thread& ui;
    std::atomic<bool>& ended;
    std::function<void()> close;
    ~Closed() {
      if (!ended) close();
      if (!WaitUntil([&] { return ended.load(); }, 10s)) std::abort();
      ui.join();
    }
  } closed{ui, ended, [&] {
             notifier.yes = true;
             ::PostMessageW(dlg.Hwnd(), WM_COMMAND, IDCANCEL, 0);
             if (service.done) service.done();
           }};
  ASSERT_TRUE(WaitUntil([&] { return dlg.Hwnd() && ::IsWindowVisible(dlg.Hwnd()); }));
  const HWND hwnd = dlg.Hwnd();
  // A click on a button, as the mouse makes it; Escape is the dialog's IDCANCEL.
  const auto click = [&](int id) {
    if (id == IDCANCEL)
      ::SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    else
      ::SendMessageW(::GetDlgItem(hwnd, id), BM_CLICK, 0, 0);
  };

  for (int id : {IDC_BATCH_PARALLEL, IDC_BATCH_START_IP, IDC_BATCH_VERIFY, IDC_BATCH_LIST})
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, id))) << id;
  FormControls inputs = form.Controls();
  std::erase_if(inputs, [](const FormControl& c) {
    return c.id == IDC_BATCH_FROM_PAGES || c.id == IDC_BATCH_FROM_FILE;
  });
  CheckBoundBothWays(
      hwnd, inputs, [&] { dlg.ShowInputs(form); }, [&] { dlg.ReadInputs(form); });
  form.network = true, form.parallel = "16", form.startIp = {192, 168, 1, 100};
  form.fromPages = false;
  dlg.ShowInputs(form);
  EXPECT_EQ(::SendMessageW(::GetDlgItem(hwnd, IDC_BATCH_FROM_FILE), BM_GETCHECK, 0, 0),
            BST_CHECKED);
  click(IDC_BATCH_FROM_PAGES);
  EXPECT_TRUE(form.fromPages);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_BATCH_FILE)));

  const HWND list = ::GetDlgItem(hwnd, IDC_BATCH_LIST);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  const auto tick = [&](int row) {
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(2);
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&state));
    return ::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
  };
  EXPECT_EQ(tick(0), INDEXTOSTATEIMAGEMASK(2));
  EXPECT_TRUE(form.Rows()[0].checked);
  EXPECT_EQ(tick(2), INDEXTOSTATEIMAGEMASK(0));  // refused: no box to tick
  EXPECT_FALSE(form.Rows()[2].checked);
  click(IDC_BATCH_ALL);
  EXPECT_TRUE(form.Rows()[1].checked);

  click(IDC_BATCH_START);
  ASSERT_TRUE(form.Running());
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_BATCH_START)));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_BATCH_STOP)));
  click(IDCANCEL);  // Escape asks, and 否 keeps the batch and the dialog
  EXPECT_FALSE(service.stopped);
  EXPECT_FALSE(ended);
  notifier.yes = true;
  click(IDC_BATCH_CLOSE);
  EXPECT_TRUE(service.stopped);
  service.report(0, BatchState::Verified, "");
  service.done();  // from the service's thread: the dialog closes once it has run it
  EXPECT_TRUE(WaitUntil([&] { return ended.load(); }));
  EXPECT_EQ(form.StateText(0), "成功（已校验）");
  EXPECT_EQ(notifier.Count(), 2u);
}

// What a screen reader reads: Wine keeps no name set through the accessibility service, so the
// names are checked as the window hands them over, in UTF-16, against the table's UTF-8.
TEST(Win32PagesTest, EveryControlIsNamedForScreenReadersAsTheTableNamesIt) {
  for (const DialogLayout* layout :
       {&MainWindowLayout(), &AboutLayout(), &NetPageLayout(), &CameraPageLayout(),
        &Rs485PageLayout(), &GearDialogLayout()}) {
    const auto names = win32::AccessibleNames(*layout);
    for (const ControlLayout& c : layout->controls) {
      if (c.id == kStaticId) continue;
      const auto named =
          std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == c.id; });
      ASSERT_NE(named, names.end()) << c.id;
      EXPECT_EQ(Utf8(named->second), c.name) << c.id;
    }
  }
  const std::pair<int, std::wstring> chinese[] = {{IDC_SLOT_UNIT, L"485槽位单位："},
                                                  {IDC_CAMERA_USER, L"用户名"}};
  for (const auto& [id, name] : chinese) {
    const auto& layout = id == IDC_SLOT_UNIT ? Rs485PageLayout() : CameraPageLayout();
    const auto names = win32::AccessibleNames(layout);
    EXPECT_NE(std::find(names.begin(), names.end(), std::pair(id, name)), names.end()) << id;
  }
}

TEST(Win32NotifierTest, BoxesOfOtherThreadsAreShownByTheUserInterfaceThread) {
  // Style of each kind of box, as MessageBoxW takes it.
  EXPECT_EQ(win32::BoxStyle(BoxIcon::None, false), static_cast<UINT>(MB_OK));
  EXPECT_EQ(win32::BoxStyle(BoxIcon::Exclamation, false),
            static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(win32::BoxStyle(BoxIcon::Question, false), static_cast<UINT>(MB_OK | MB_ICONQUESTION));
  EXPECT_EQ(win32::BoxStyle(BoxIcon::Exclamation, true),
            static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION));

  // A user-interface thread with its message loop; a question asked on it by a thread message.
  constexpr UINT kAsk = WM_APP + 7;
  std::atomic<win32::Win32Notifier*> notifier{nullptr};
  std::atomic<DWORD> ui{0};
  std::atomic<int> answer{-1};
  std::thread loop([&] {
    win32::Win32Notifier own;
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
    notifier = &own;
    ui = ::GetCurrentThreadId();
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.message == kAsk) answer = own.AskYesNo("提示", "下载吗？", BoxIcon::Exclamation);
      ::DispatchMessageW(&message);
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return ui != 0; }));
  auto buttonText = [](const Box& box, int id) { return TextOf(::GetDlgItem(box.hwnd, id)); };

  // From another thread: the box comes up on the loop's thread, and its caller waits for it.
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    notifier.load()->ShowBox("警告", "读取失败", BoxIcon::Question);
    returned = true;
  });
  const Box failed = WaitBox(ui, "警告");
  EXPECT_EQ(failed.text, "读取失败");
  EXPECT_EQ(buttonText(failed, IDOK), "确定");
  EXPECT_FALSE(returned);
  EXPECT_TRUE(Press(failed, IDOK));
  worker.join();
  EXPECT_TRUE(returned);

  ::PostThreadMessageW(ui, kAsk, 0, 0);
  const Box question = WaitBox(ui, "提示");
  EXPECT_EQ(buttonText(question, IDYES), "是");
  EXPECT_EQ(buttonText(question, IDNO), "否");
  // "否" is the default: sending is the choice that has to be made on purpose.
  EXPECT_EQ(::GetWindowLongW(::GetDlgItem(question.hwnd, IDNO), GWL_STYLE) & BS_TYPEMASK,
            BS_DEFPUSHBUTTON);
  EXPECT_TRUE(Press(question, IDYES));
  EXPECT_TRUE(WaitUntil([&] { return answer == 1; }));

  // Released, a waiting caller goes on although its box is still up, and later ones return.
  std::thread waiting([&] { notifier.load()->ShowBox("警告", "下载失败", BoxIcon::Question); });
  const Box open = WaitBox(ui, "警告");
  ASSERT_TRUE(open);
  notifier.load()->ReleaseWaiting();
  waiting.join();
  notifier.load()->ShowBox("警告", "不再显示", BoxIcon::None);
  EXPECT_TRUE(Press(open, IDOK));
  ::PostThreadMessageW(ui, WM_QUIT, 0, 0);
  loop.join();
}

}  // namespace
}  // namespace quillon::fakes

int main(int argc, char** argv) {
  using namespace quillon::fakes;
  if (argc >= 3 && std::string(argv[1]) == "--steps")
    return RunSteps(argv[2], argc > 3 ? argv[3] : "");
  if (argc >= 4 && std::string(argv[1]) == "--probe")
    return Probe(argv[2], std::atoi(argv[3]), argc > 4 ? argv[4] : "");
  if (argc >= 2 && std::string(argv[1]) == "--bare")
    return Bare(argc > 2 && std::string(argv[2]) == "controls");
  if (argc >= 3 && std::string(argv[1]) == "--batch")
    return RunBatch(argv[2], argc > 3 ? argv[3] : "00E04C3A1E01");
  if (argc >= 3 && std::string(argv[1]) == "--discover")
    return Discover(std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : 0);
  ::testing::InitGoogleTest(&argc, argv);
  // Each case within its limit: one that hangs ends the run, by name.
  static std::mutex watch;
  static std::string running;
  static auto deadline = std::chrono::steady_clock::time_point::max();
  struct Limit : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override {
      std::lock_guard lock(watch);
      running = std::string(info.test_suite_name()) + "." + info.name();
      deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
      std::lock_guard lock(watch);
      deadline = std::chrono::steady_clock::time_point::max();
    }
  };
  ::testing::UnitTest::GetInstance()->listeners().Append(new Limit);
  std::thread([] {
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      std::lock_guard lock(watch);
      if (std::chrono::steady_clock::now() < deadline) continue;
      std::fprintf(stderr, "window_tests: %s did not end within 60 s\n", running.c_str());
      std::fflush(nullptr);
      std::_Exit(1);
    }
  }).detach();
  return RUN_ALL_TESTS();
}
