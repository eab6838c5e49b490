// The lists (drop-down combo boxes) of a page as a user meets them: typing into a list's edit
// field, and a walk over every item of every list against values and labels written out by the
// test, apart from the page's own tables.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace quillon::fakes {

// Types `text` into the list's edit field, as from the keyboard (the field emits textEdited).
inline void TypeIntoList(QComboBox* list, const QString& text) {
  list->lineEdit()->setText(text);
  emit list->lineEdit()->textEdited(text);
}

// One list over one little-endian field of a block, with each item's value and label.
struct ListItems {
  QComboBox* list;
  size_t offset;  // of the field inside the block
  size_t width;   // bytes
  std::vector<std::pair<uint32_t, QString>> items;
};

// Every item both ways: each value shown (by `show`, the page's ParamsToPage of `block`) as its
// label, and each label typed in and stored (by `store`) as its value. Fails the running test.
template <typename Block>
void WalkEveryItem(Block& block, const std::vector<ListItems>& lists,
                   const std::function<void()>& show, const std::function<void()>& store) {
  auto* bytes = reinterpret_cast<uint8_t*>(&block);
  for (const ListItems& l : lists) {
    for (const auto& [value, label] : l.items) {
      const QString name = l.list->accessibleName() + u' ' + label;
      std::memcpy(bytes + l.offset, &value, l.width);
      show();
      QVERIFY2(l.list->currentText() == label,
               qPrintable(name + QStringLiteral(" shown as ") + l.list->currentText()));
      std::memset(bytes + l.offset, 0xEE, l.width);
      show();
      TypeIntoList(l.list, label);
      store();
      uint32_t stored = 0;
      std::memcpy(&stored, bytes + l.offset, l.width);
      QVERIFY2(stored == value,
               qPrintable(name + QStringLiteral(" stored as ") + QString::number(stored)));
    }
  }
}

}  // namespace quillon::fakes
