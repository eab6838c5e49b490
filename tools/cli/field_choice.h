// Fields of one device by name as the command line chooses them: the patterns that name them,
// the width their names take, and the values given for them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "device/field_transfer.h"

namespace quillon::cli {

// The fields that the patterns name, in the order of the table; every field without patterns.
// False after saying which pattern names none.
bool SelectFields(const std::vector<std::string>& patterns, FieldList& fields, std::FILE* err);
// The width of the longest name.
size_t NameWidth(const FieldList& fields);

// A value for a field, checked by CheckFieldValue.
struct FieldValue {
  const NamedField* field;
  std::string text;
};

}  // namespace quillon::cli
