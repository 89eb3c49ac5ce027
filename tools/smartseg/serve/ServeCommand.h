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
CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options);

// Serves until SIGINT, SIGTERM or SIGHUP ends the process. Throws UsageError for a bad port,
// WorkError for a folder or model that cannot be opened and an address that cannot be bound.
int RunServe(const ServeOptions& options);

}  // namespace Smartseg
