#include "tools/smartseg/serve/ServeCommand.h"

#include <cstdio>
#include <iostream>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/serve/BrowserHost.h"

namespace Smartseg {

int RunServe(const ServeOptions& options) {
  if (options.port < 0 || options.port > 65535) {
    throw UsageError("--port: expected a port from 0 to 65535, found " +
                     std::to_string(options.port));
  }
  if (!Serve::IsLoopbackHost(options.host)) {
    std::fprintf(stderr,
                 "smartseg serve: warning: listening on %s makes the images and the model of this "
                 "folder readable and editable by anyone who can reach this machine\n",
                 options.host.c_str());
  }
  Serve::HostOptions hostOptions;
  hostOptions.host = options.host;
  hostOptions.port = options.port;
  Serve::BrowserHost host(options.folder, hostOptions, std::cerr);
  const int port = host.Bind();
  const std::string shown = options.host.find(':') != std::string::npos && options.host[0] != '['
                                ? "[" + options.host + "]"
                                : options.host;
  std::printf("Serving %s at http://%s:%d/ (Ctrl+C stops)\n", options.folder.string().c_str(),
              shown.c_str(), port);
  std::fflush(stdout);

  // Serves until a signal ends the process: main() set up the cleanup that rolls back a save
  // under way, so a stop never leaves a half-written model or annotation.
  host.Serve();
  throw WorkError(options.folder, "the server stopped listening unexpectedly");
}

}  // namespace Smartseg
