// smartseg-serve: the browser host behind `smartseg serve`, which hands its command line over
// unchanged. A program of its own so that only it loads the HTTP and TLS libraries.
#include <string>

#include <CLI/CLI.hpp>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ProgramMain.h"
#include "tools/smartseg/serve/ServeCommand.h"

int main(int argc, char** argv) {
  return Smartseg::RunProgram([&] {
    if (argc < 2 || std::string(argv[1]) != "serve") {
      return Smartseg::ReportError(
          "smartseg-serve is the browser host behind 'smartseg serve'; run smartseg serve FOLDER",
          Smartseg::kExitUsage);
    }
    CLI::App app{"The browser host of smartseg.", "smartseg"};
    app.require_subcommand(1);
    Smartseg::ServeOptions options;
    Smartseg::AddServeCommand(app, options);
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
      if (error.get_exit_code() == 0) return app.exit(error);
      return Smartseg::ReportError(std::string(error.what()) + " (see smartseg --help)",
                                   Smartseg::kExitUsage);
    }
    return Smartseg::RunServe(options);
  });
}
