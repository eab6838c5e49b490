#include "forms/form_fields.h"

#include <cstring>

#include "text/gbk.h"

namespace quillon {

ListChoice::ListChoice(std::string name, std::span<const ListItem> items)
    : name_(std::move(name)), items_(items) {}

void ListChoice::Select(int index) {
  if (index >= 0 && index < Count()) {
    selected_ = index;
    text_ = items_[static_cast<size_t>(index)].label;
  } else {
    selected_ = -1;
    text_.clear();
  }
}

void ListChoice::SelectValue(uint32_t value) {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].value == value) return Select(i);
  Select(-1);
}

void ListChoice::SetState(int selected, std::string text) {
  selected_ = selected >= 0 && selected < Count() ? selected : -1;
  text_ = std::move(text);
}

std::optional<int> ListChoice::Type(std::string text) {
  text_ = std::move(text);
  const std::optional<int> item = Find(text_);
  if (!item || *item == selected_) return std::nullopt;
  selected_ = *item;
  return item;
}

std::optional<int> ListChoice::Find(const std::string& text) const {
  for (int i = 0; i < Count(); ++i)
    if (text == items_[static_cast<size_t>(i)].label) return i;
  return std::nullopt;
}

std::optional<int> ListChoice::Choice() const {
  if (selected_ >= 0 && text_ == items_[static_cast<size_t>(selected_)].label) return selected_;
  return Find(text_);
}

uint32_t ListChoice::Value(uint32_t none) const {
  const std::optional<int> item = Choice();
  return item ? items_[static_cast<size_t>(*item)].value : none;
}

std::optional<RefusedList> ListChoice::Refusal() const {
  const bool stores = text_.empty() ? selected_ < 0 : Choice().has_value();
  if (stores) return std::nullopt;
  std::string name = name_;
  static constexpr std::string_view kColon = "：";
  if (name.ends_with(kColon)) name.resize(name.size() - kColon.size());
  return RefusedList{std::move(name), text_};
}

void GbkTextBox::Show(const char* field, size_t fieldSize) {
  const std::string_view bytes = FieldText(field, fieldSize);
  text = GbkToUtf8(bytes);
  shown_ = true;
  shownText_ = text;
  shownBytes_.assign(bytes);
}

void GbkTextBox::Store(char* field, size_t fieldSize, size_t limit) const {
  if (shown_ && text == shownText_) {
    // A field that came without a terminator (from a file) leaves it with one: the device reads
    // the field as a terminated text, so it is cut at a character boundary inside it.
    const std::string_view bytes = CutGbk(shownBytes_, fieldSize - 1);
    std::memcpy(field, bytes.data(), bytes.size());
    field[bytes.size()] = '\0';
    return;
  }
  StoreGbkText(field, limit, text);
}

}  // namespace quillon
