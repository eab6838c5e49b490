// fields: the field names, the values each takes and how it travels.
#include <CLI/CLI.hpp>

#include "cli_commands.h"
#include "cli_text.h"
#include "field_choice.h"

namespace quillon::cli {

namespace {

const char* const kFieldsHelp =
    "Lists the field names with the values each takes and how it travels to the device.";

class Fields final : public CliCommand {
 public:
  explicit Fields(CLI::App& command) {
    command.add_option("PATTERN", patterns_, "names of fields, '*' and '?' allowed");
    command.add_flag("--names", namesOnly_, "the names alone, one a line");
    format_.DeclareJson(command, "the fields as JSON");
  }
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  std::vector<std::string> patterns_;  // none: every field
  bool namesOnly_ = false;
  FormatOptions format_;
};

int Fields::Run(const PortOpener&, std::FILE* out, std::FILE* err) {
  FieldList fields;
  if (!SelectFields(patterns_, fields, err)) return kExitRefused;
  if (format_.json) {
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
    if (namesOnly_)
      std::fprintf(out, "%s\n", f->name.c_str());
    else
      std::fprintf(out, "%s%s  [%s]\n", Pad(f->name, width).c_str(), AllowedValues(*f).c_str(),
                   TransferText(*f).c_str());
  }
  return kExitOk;
}

}  // namespace

CommandEntry FieldsCommand() {
  return {"fields", "list the field names", kFieldsHelp, Make<Fields>};
}

}  // namespace quillon::cli
