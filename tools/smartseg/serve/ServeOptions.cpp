#include "tools/smartseg/serve/ServeCommand.h"

#include <system_error>

namespace Smartseg {

CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options) {
  CLI::App* serve = app.add_subcommand(
      "serve", "Annotate the images of FOLDER in a browser and watch the model learn");
  serve->add_option("--host", options.host, "Address to listen on (default 127.0.0.1)")
      ->type_name("HOST");
  serve->add_option("--port", options.port, "Port to listen on (default 8600; 0 picks a free one)")
      ->type_name("PORT");
  serve->add_option("FOLDER", options.folder, "Folder of PNG or TIFF images")->required();
  return serve;
}

std::filesystem::path ServeProgram() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path() : self.parent_path()) / "smartseg-serve";
}

}  // namespace Smartseg
