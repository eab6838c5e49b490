#include "field_choice.h"

#include <algorithm>

#include "command_support.h"

namespace quillon::cli {

bool SelectFields(const std::vector<std::string>& patterns, FieldList& fields, std::FILE* err) {
  for (const std::string& pattern : patterns) {
    if (std::none_of(FieldTable().begin(), FieldTable().end(), [&](const NamedField& field) {
          return MatchesPattern(pattern, field.name);
        })) {
      Message(err, "no field matches '" + pattern + "'; 'quillon-cli fields' lists them");
      return false;
    }
  }
  for (const NamedField& field : FieldTable())
    if (patterns.empty() || std::any_of(patterns.begin(), patterns.end(), [&](const auto& p) {
          return MatchesPattern(p, field.name);
        }))
      fields.push_back(&field);
  return true;
}

size_t NameWidth(const FieldList& fields) {
  size_t width = 0;
  for (const NamedField* field : fields) width = std::max(width, field->name.size());
  return width;
}

}  // namespace quillon::cli
