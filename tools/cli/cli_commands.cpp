#include "cli_commands.h"

#include <CLI/CLI.hpp>

namespace quillon::cli {

// Each made in its command's file (show and diff in show_command.cpp).
CommandEntry SearchCommand();
CommandEntry ReadCommand();
CommandEntry ApplyCommand();
CommandEntry ShowCommand();
CommandEntry DiffCommand();
CommandEntry SetCommand();
CommandEntry BackupCommand();
CommandEntry FieldsCommand();

const std::vector<CommandEntry>& CommandTable() {
  static const std::vector<CommandEntry> table = {
      SearchCommand(), ReadCommand(), ApplyCommand(),  ShowCommand(),
      DiffCommand(),   SetCommand(),  BackupCommand(), FieldsCommand(),
  };
  return table;
}

namespace {

const char* const kProgramHelp =
    "Configures network video character-overlay devices on UDP port 1901 without the window.\n"
    "It broadcasts to 255.255.255.255:1901 through every local IPv4 address, or through the\n"
    "one that --via names.";

const char* const kProgramFooter =
    "'quillon-cli COMMAND --help' tells more about each. Progress goes to standard error,\n"
    "results to standard output. Exit status: 0 done, 1 a device failed, 2 bad command line\n"
    "or file, or a batch refused before anything was sent (diff: 0 same, 1 different, 2\n"
    "trouble). 'quillon-cli fields' lists every field name with the values it takes.";

// The program's command line: a part of it for each command of the table, and help.
class Parser {
 public:
  Parser() : app_(kProgramHelp, "quillon-cli") {
    app_.footer(kProgramFooter);
    app_.set_version_flag("--version", "quillon-cli " QUILLON_VERSION);
    app_.require_subcommand(0, 1);
    // "/data/site.ini" is a path on every system, not a Windows-style option: the options
    // are --long and -s everywhere. Set before the commands, which take it over.
    app_.allow_windows_style_options(false);
    for (const CommandEntry& entry : CommandTable()) {
      CLI::App* command = app_.add_subcommand(entry.name, entry.summary);
      command->footer(entry.help);
      commands_.push_back({command, entry.make(*command)});
    }
    help_ = app_.add_subcommand("help", "tells about a command");
    help_->add_option("COMMAND", helpTopic_, "the command");
  }

  ParseOutcome Parse(int argc, const char* const* argv) {
    try {
      app_.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      return {ParseOutcome::Kind::Help, app_.help(), nullptr};
    } catch (const CLI::CallForVersion& version) {
      return {ParseOutcome::Kind::Version, std::string(version.what()) + "\n", nullptr};
    } catch (const CLI::ParseError& error) {
      return Error(error.what());
    }
    Parsed* chosen = nullptr;
    for (Parsed& command : commands_)
      if (command.app->parsed()) chosen = &command;
    if (help_->parsed() || !chosen) {
      for (CLI::App* command : app_.get_subcommands([](CLI::App*) { return true; }))
        if (command->get_name() == helpTopic_)
          return {ParseOutcome::Kind::Help, command->help("quillon-cli"), nullptr};
      if (!helpTopic_.empty()) return Error("help: no command '" + helpTopic_ + "'");
      if (help_->parsed()) return {ParseOutcome::Kind::Help, app_.help(), nullptr};
      return Error("no command given");
    }
    if (std::string error = chosen->command->Check(); !error.empty()) return Error(error);
    return {ParseOutcome::Kind::Run, {}, std::move(chosen->command)};
  }

 private:
  struct Parsed {
    CLI::App* app;
    std::unique_ptr<CliCommand> command;
  };

  ParseOutcome Error(const std::string& text) {
    return {ParseOutcome::Kind::Error,
            text + "\n'quillon-cli " + (CommandName().empty() ? "" : CommandName() + " ") +
                "--help' tells more.",
            nullptr};
  }
  std::string CommandName() const {
    for (const CLI::App* command : app_.get_subcommands())
      if (command != help_) return command->get_name();
    return {};
  }

  CLI::App app_;
  std::vector<Parsed> commands_;
  CLI::App* help_ = nullptr;
  std::string helpTopic_;
};

}  // namespace

ParseOutcome ParseCliCommandLine(int argc, const char* const* argv) {
  return Parser().Parse(argc, argv);
}

int RunCli(int argc, const char* const* argv, const PortOpener& open, std::FILE* out,
           std::FILE* err) {
  const ParseOutcome parsed = ParseCliCommandLine(argc, argv);
  switch (parsed.kind) {
    case ParseOutcome::Kind::Help:
    case ParseOutcome::Kind::Version:
      std::fputs(parsed.text.c_str(), out);
      return kExitOk;
    case ParseOutcome::Kind::Error:
      Message(err, parsed.text);
      return kExitRefused;
    case ParseOutcome::Kind::Run:
      break;
  }
  return parsed.command->Run(open, out, err);
}

}  // namespace quillon::cli
