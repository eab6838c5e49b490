#include "win32/dialog_template.h"

#include <commctrl.h>

#include "win32/wide_text.h"

namespace quillon::win32 {

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD kInput = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  switch (kind) {
    case ControlKind::Label:
      return {L"STATIC", WS_CHILD | WS_VISIBLE | SS_LEFT, 0};
    case ControlKind::GroupBox:
      return {L"BUTTON", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0};
    case ControlKind::Edit:
      return {L"EDIT", kInput | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::ReadOnlyEdit:
      return {L"EDIT", kInput | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE};
    case ControlKind::LogEdit:
      // No ES_WANTRETURN: Enter in the log is the dialog's, which ignores it.
      return {L"EDIT", kInput | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", kInput | BS_PUSHBUTTON, 0};
    case ControlKind::DefaultButton:
      return {L"BUTTON", kInput | BS_DEFPUSHBUTTON, 0};
    case ControlKind::CheckBox:
      return {L"BUTTON", kInput | BS_AUTOCHECKBOX, 0};
    case ControlKind::ComboBox:
      return {L"COMBOBOX", kInput | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0};
    case ControlKind::Ipv4:
      return {WC_IPADDRESSW, kInput, 0};
    case ControlKind::ListView:
      // Its rows live in the window, which answers for each cell (LVN_GETDISPINFO): a burst of
      // new rows costs one change of the count, not an insert each.
      return {WC_LISTVIEWW, kInput | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
              WS_EX_CLIENTEDGE};
    case ControlKind::CheckListView:
      // Few rows, each with its own check state: an ordinary list; the window turns on the check
      // boxes (LVS_EX_CHECKBOXES), which no window style gives.
      return {WC_LISTVIEWW, kInput | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
              WS_EX_CLIENTEDGE};
    case ControlKind::RadioButton:
      return {L"BUTTON", kInput | BS_AUTORADIOBUTTON, 0};
    case ControlKind::TabControl:
      // Its pages are its children: they are drawn over it and tabbed into.
      return {WC_TABCONTROLW, kInput | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::Icon:
      return {L"STATIC", WS_CHILD | WS_VISIBLE | SS_ICON, 0};
  }
  return {L"STATIC", WS_CHILD | WS_VISIBLE, 0};
}

DWORD DialogStyle(DialogRole role) {
  switch (role) {
    case DialogRole::MainWindow:
      return DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU |
             WS_MINIMIZEBOX;
    case DialogRole::Page:
      return DS_SETFONT | DS_CONTROL | WS_CHILD;
    case DialogRole::Modal:
      return DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  }
  return DS_SETFONT;
}

void DialogTemplate::Dword(DWORD value) {
  Word(LOWORD(value));
  Word(HIWORD(value));
}

void DialogTemplate::Text(const std::wstring& text) {
  for (wchar_t c : text) Word(static_cast<WORD>(c));
  Word(0);
}

void DialogTemplate::Align() {
  if (words_.size() % 2 != 0) Word(0);
}

DialogTemplate::DialogTemplate(const DialogLayout& layout, DialogRole role) {
  const DWORD exStyle = role == DialogRole::MainWindow ? WS_EX_APPWINDOW
                        : role == DialogRole::Page     ? WS_EX_CONTROLPARENT
                                                       : 0;
  Word(1);       // dlgVer
  Word(0xFFFF);  // signature of DLGTEMPLATEEX
  Dword(0);      // helpID
  Dword(exStyle);
  Dword(DialogStyle(role));
  Word(static_cast<WORD>(layout.controls.size()));
  Word(0);  // x, y: DS_CENTER or the parent places it
  Word(0);
  Word(static_cast<WORD>(layout.cx));
  Word(static_cast<WORD>(layout.cy));
  Word(0);  // no menu
  Word(0);  // the dialog class
  Text(Wide(layout.caption));
  Word(kDialogPoints);
  Word(FW_NORMAL);
  Word(MAKEWORD(FALSE, GB2312_CHARSET));  // italic, charset
  Text(kDialogFace);

  ControlKind previous = ControlKind::Label;
  for (const ControlLayout& c : layout.controls) {
    Align();
    const ControlClass cls = ClassOf(c.kind);
    Dword(0);  // helpID
    Dword(cls.exStyle);
    DWORD style = cls.style;
    if (c.kind == ControlKind::Icon && (c.cx != 0 || c.cy != 0)) style |= SS_CENTERIMAGE;
    // Radio buttons in a row are one group, the arrow keys move within it, and the control after
    // them starts the next; Tab stops at the group's first button only.
    if ((c.kind == ControlKind::RadioButton) != (previous == ControlKind::RadioButton))
      style |= WS_GROUP;
    else if (c.kind == ControlKind::RadioButton)
      style &= ~static_cast<DWORD>(WS_TABSTOP);
    previous = c.kind;
    Dword(style);
    Word(static_cast<WORD>(c.x));
    Word(static_cast<WORD>(c.y));
    Word(static_cast<WORD>(c.cx));
    Word(static_cast<WORD>(c.cy));
    Dword(static_cast<DWORD>(c.id));
    Text(cls.className);
    if (c.kind == ControlKind::Icon) {
      Word(0xFFFF);  // an ordinal: the icon resource
      Word(static_cast<WORD>(c.image));
    } else {
      Text(Wide(c.text));
    }
    Word(0);  // no creation data
  }
}

}  // namespace quillon::win32
