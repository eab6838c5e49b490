#include "win32/form_view.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>

#include <string>
#include <type_traits>

#include "win32/wide_text.h"

namespace quillon::win32 {

namespace {

ListChoice* ListOf(const FormControls& form, int id) {
  for (const FormControl& c : form)
    if (c.id == id)
      if (ListChoice* const* list = std::get_if<ListChoice*>(&c.value)) return *list;
  return nullptr;
}

int Selection(HWND combo) { return static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

// The combo box's edit field, which the user types into.
HWND ComboEdit(HWND combo) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  return ::GetComboBoxInfo(combo, &info) ? info.hwndItem : nullptr;
}

}  // namespace

void FormView::BindLists(const FormControls& form) {
  for (const FormControl& c : form) {
    ListChoice* const* list = std::get_if<ListChoice*>(&c.value);
    if (!list) continue;
    const HWND combo = ::GetDlgItem(dialog_, c.id);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const ListItem& item : (*list)->Items())
      ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item.label).c_str()));
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    selected_[c.id] = -1;
  }
}

void FormView::Show(const FormControls& form) {
  showing_ = true;
  for (const FormControl& c : form) {
    const HWND control = ::GetDlgItem(dialog_, c.id);
    std::visit(Overloaded{
                   [&](std::string* text) { SetText(control, *text); },
                   [&](GbkTextBox* box) { SetText(control, box->text); },
                   [&](bool* checked) {
                     ::SendMessageW(control, BM_SETCHECK, *checked ? BST_CHECKED : BST_UNCHECKED,
                                    0);
                   },
                   [&](ListChoice* list) {
                     const int selected = list->Selected();
                     ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
                     selected_[c.id] = selected;
                     // Typed text that is no item stays as the user typed it.
                     if (WindowText(control) != list->Text()) SetText(control, list->Text());
                   },
                   [&](Ipv4Value* a) {
                     ::SendMessageW(
                         control, IPM_SETADDRESS, 0,
                         static_cast<LPARAM>(MAKEIPADDRESS((*a)[0], (*a)[1], (*a)[2], (*a)[3])));
                   },
               },
               c.value);
  }
  showing_ = false;
}

void FormView::Read(const FormControls& form) {
  for (const FormControl& c : form) {
    const HWND control = ::GetDlgItem(dialog_, c.id);
    std::visit(Overloaded{
                   [&](std::string* text) { *text = WindowText(control); },
                   [&](GbkTextBox* box) { box->text = WindowText(control); },
                   [&](bool* checked) {
                     *checked = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
                   },
                   [&](ListChoice* list) {
                     const auto known = selected_.find(c.id);
                     list->SetState(known != selected_.end() ? known->second : Selection(control),
                                    WindowText(control));
                   },
                   [&](Ipv4Value* a) {
                     // A blank field reads as 0.
                     DWORD address = 0;
                     ::SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
                     *a = {static_cast<uint8_t>(FIRST_IPADDRESS(address)),
                           static_cast<uint8_t>(SECOND_IPADDRESS(address)),
                           static_cast<uint8_t>(THIRD_IPADDRESS(address)),
                           static_cast<uint8_t>(FOURTH_IPADDRESS(address))};
                   },
               },
               c.value);
  }
}

std::optional<int> FormView::OnListCommand(const FormControls& form, int id, int code) {
  ListChoice* list = ListOf(form, id);
  if (!list || showing_) return std::nullopt;
  const HWND combo = ::GetDlgItem(dialog_, id);
  if (code == CBN_SELCHANGE) {
    const int selected = Selection(combo);
    if (selected < 0) return std::nullopt;
    selected_[id] = selected;
    // The field still shows the item that was selected before; what reads the page now must
    // see the chosen one.
    if (selected < list->Count())
      SetText(combo, list->Items()[static_cast<size_t>(selected)].label);
    return selected;
  }
  if (code == CBN_EDITCHANGE) {
    const std::string text = WindowText(combo);
    list->SetState(selected_[id], text);
    const std::optional<int> item = list->Type(text);
    if (!item) return std::nullopt;
    selected_[id] = *item;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(*item), 0);
    // The caret stays behind the text, as it was while typing.
    if (const HWND edit = ComboEdit(combo)) ::SendMessageW(edit, EM_SETSEL, 0x7FFF, 0x7FFF);
    return item;
  }
  return std::nullopt;
}

std::vector<std::pair<int, std::wstring>> AccessibleNames(const DialogLayout& layout) {
  std::vector<std::pair<int, std::wstring>> names;
  for (const ControlLayout& c : layout.controls)
    if (c.id != kStaticId && !c.name.empty()) names.emplace_back(c.id, Wide(c.name));
  return names;
}

void NameControls(HWND dialog, const DialogLayout& layout) {
  IAccPropServices* services = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services))))
    return;
  for (auto& [id, name] : AccessibleNames(layout)) {
    const HWND control = ::GetDlgItem(dialog, id);
    if (!control) continue;
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_NAME, name.data());
    if (layout.Control(id).kind == ControlKind::ComboBox)
      services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                               PROPID_ACC_DESCRIPTION, name.data());
  }
  services->Release();
}

}  // namespace quillon::win32
