// `smartseg serve [--host H] [--port P] FOLDER`: the interactive browser host.
#pragma once

#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

namespace Smartseg {

struct ServeOptions {
  std::string host = "127.0.0.1";
  int port = 8600;
  std::filesystem::path folder;
};

// Adds the "serve" subcommand, filling `options`; the caller runs RunServe when it was chosen.
// smartseg parses the command line with it and hands `serve` over to the program smartseg-serve
// beside it, which parses the same line again and runs RunServe: only that program loads the HTTP
// and TLS libraries, so the other commands start without them.
CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options);

// The path of smartseg-serve beside the running program.
std::filesystem::path ServeProgram();

// Serves until SIGINT, SIGTERM or SIGHUP ends the process. Throws UsageError for a bad port,
// WorkError for a folder or model that cannot be opened and an address that cannot be bound.
int RunServe(const ServeOptions& options);

}  // namespace Smartseg
