// The pieces every form is made of: the state of one control each, as plain values that a window
// copies into its controls and back. A list knows its items and refuses typed text that is none
// of them; a GBK text box gives an untouched text back byte for byte; a form that was never
// filled from the block stores nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "params/page_lists.h"

namespace quillon {

// A list whose edit field holds what it cannot store: typed text that is none of its items, or
// nothing at all while an item is selected (the user emptied the field). Stored, such a list
// would give the device its "no selection" value, which the user never chose.
struct RefusedList {
  std::string name;  // the list's label, UTF-8, without its closing colon
  std::string text;  // what its edit field holds
};

// A drop-down list with an edit field: the item selected and the text its field shows.
class ListChoice {
 public:
  // `name` is the list's accessible name (its label's text).
  ListChoice(std::string name, std::span<const ListItem> items);

  const std::string& Name() const { return name_; }
  std::span<const ListItem> Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }

  // Selects `index` with its text, or nothing (and an empty field) when it is outside the list.
  void Select(int index);
  // The item whose value is `value`, or nothing.
  void SelectValue(uint32_t value);
  // What the control holds, as a window reads it: the selected index (-1 for none) and the text.
  void SetState(int selected, std::string text);
  int Selected() const { return selected_; }
  const std::string& Text() const { return text_; }

  // The user typed `text` into the field. The text of an item selects that item as if it was
  // picked from the list: its index is returned when the selection changed, and the window then
  // acts as on a choice from the list.
  std::optional<int> Type(std::string text);

  // The item the field holds: the selected one while its text is shown, else the item whose text
  // was typed; nothing for an empty field or text that is no item.
  std::optional<int> Choice() const;
  // The value of that item, or `none`.
  uint32_t Value(uint32_t none) const;
  // The list as a refusal when it holds what it cannot store; an empty field with no item
  // selected (a list never filled, or shown a value beyond its items) stores its "no selection"
  // value and is no refusal.
  std::optional<RefusedList> Refusal() const;

 private:
  std::optional<int> Find(const std::string& text) const;

  std::string name_;
  std::span<const ListItem> items_;
  int selected_ = -1;
  std::string text_;
};

// An edit box that shows a GBK text field of the block and stores it back. It remembers the
// field's bytes as it showed them: stored while its text is still the one shown, it gives those
// bytes back exactly, even bytes that GBK cannot show (a password byte 0xE9, a user-defined
// character), which turned into Unicode and back would become "?" in a field the user never
// touched. Text the user changed is stored as GBK, cut at the limit without splitting a character.
class GbkTextBox {
 public:
  std::string text;  // UTF-8, as the user sees it

  // Shows the field's text (up to its first zero byte or its end).
  void Show(const char* field, size_t fieldSize);
  // The remembered bytes while the text is unchanged (cut at a character boundary to leave room
  // for the terminator), else at most `limit` bytes of the text; then a zero byte, always inside
  // the field. Bytes behind the terminator keep what they held. `limit` is below `fieldSize`.
  void Store(char* field, size_t fieldSize, size_t limit) const;

 private:
  bool shown_ = false;
  std::string shownText_;
  std::string shownBytes_;
};

// An IPv4 address control's four fields, the leftmost first; a blank field reads as 0.
using Ipv4Value = std::array<uint8_t, 4>;

// One control of a form by its id in the dialog's layout, with the value a window copies into it
// (and back): an edit box's text, a GBK text, a check box, a list, or an address.
struct FormControl {
  int id;
  std::variant<std::string*, GbkTextBox*, bool*, ListChoice*, Ipv4Value*> value;
};
using FormControls = std::vector<FormControl>;

// The lambdas a window visits a control's value with, one for each kind:
// std::visit(Overloaded{[&](std::string* text) {...}, ...}, control.value).
template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Spelled out for clang 14, which does not deduce an aggregate's arguments.
template <typename... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace quillon
