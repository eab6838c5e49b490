// The lists of a form as a user meets them: a walk over every item of every list against values
// and labels written out by the test, apart from the program's own tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "forms/form_fields.h"

namespace quillon::fakes {

// One list over one little-endian field of a block, with each item's value and label.
struct ListItems {
  ListChoice* list;
  size_t offset;  // of the field inside the block
  size_t width;   // bytes
  std::vector<std::pair<uint32_t, std::string>> items;
};

// Every item both ways: each value shown (by `show`, the form's Fill of `block`) as its label,
// and each label typed in and stored (by `store`) as its value.
template <typename Block>
void WalkEveryItem(Block& block, const std::vector<ListItems>& lists,
                   const std::function<void()>& show, const std::function<void()>& store) {
  auto* bytes = reinterpret_cast<uint8_t*>(&block);
  for (const ListItems& l : lists) {
    for (const auto& [value, label] : l.items) {
      const std::string name = l.list->Name() + ' ' + label;
      std::memcpy(bytes + l.offset, &value, l.width);
      show();
      EXPECT_EQ(l.list->Text(), label) << name;
      std::memset(bytes + l.offset, 0xEE, l.width);
      show();
      l.list->Type(label);
      store();
      uint32_t stored = 0;
      std::memcpy(&stored, bytes + l.offset, l.width);
      EXPECT_EQ(stored, value) << name;
    }
  }
}

}  // namespace quillon::fakes
