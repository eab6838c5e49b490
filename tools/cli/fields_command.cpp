// fields: the field names, the values each takes and how it travels.
#include "cli_commands.h"
#include "cli_text.h"
#include "field_transfer.h"

namespace quillon::cli {

int RunFields(const CliOptions& options, std::FILE* out, std::FILE* err) {
  FieldList fields;
  if (!SelectFields(options.patterns, fields, err)) return kExitRefused;
  if (options.format == OutputFormat::Json) {
    Json list = Json::array();
    for (const NamedField* f : fields) {
      Json items = Json::array();
      for (const ListItem& item : f->items) items.push_back(item.label);
      list.push_back({{"name", f->name},
                      {"values", AllowedValues(*f)},
                      {"items", items},
                      {"transfer", TransferText(*f)},
                      {"offset", f->offset},
                      {"size", f->size}});
    }
    std::fputs(JsonText(list).c_str(), out);
    return kExitOk;
  }
  const size_t width = NameWidth(fields) + 2;
  for (const NamedField* f : fields) {
    if (options.namesOnly)
      std::fprintf(out, "%s\n", f->name.c_str());
    else
      std::fprintf(out, "%s%s  [%s]\n", Pad(f->name, width).c_str(), AllowedValues(*f).c_str(),
                   TransferText(*f).c_str());
  }
  return kExitOk;
}

}  // namespace quillon::cli
