#include "tools/smartseg/serve/BrowserHost.h"

#include <atomic>
#include <set>
#include <thread>

#include <httplib.h>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ModelLock.h"
#include "tools/smartseg/serve/ApiError.h"
#include "tools/smartseg/serve/ApiRoutes.h"
#include "tools/smartseg/serve/ServedFolder.h"
#include "tools/smartseg/serve/Session.h"
#include "tools/smartseg/serve/Trainer.h"
#include "tools/smartseg/serve/WebAssets.h"

namespace Smartseg::Serve {
namespace {

// The page may load only its own scripts, styles and images; nothing from elsewhere.
constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// The model stays locked while the host serves it, as `smartseg train` locks it while it trains,
// so that neither a second host nor a training run overwrites what the other saves.
std::unique_ptr<ModelLock> LockModel(const std::filesystem::path& model) {
  try {
    return std::make_unique<ModelLock>(model, false, true);
  } catch (const WorkError&) {
    throw WorkError(model,
                    "another smartseg run (a browser host, or a training) is using this model; "
                    "stop it first");
  }
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  const std::string lower = Lower(host);
  return lower == "localhost" || lower == "::1" || lower == "[::1]" || lower.rfind("127.", 0) == 0;
}

struct BrowserHost::Parts {
  Parts(const std::filesystem::path& folderPath, const HostOptions& hostOptions, std::ostream& log)
      : options(hostOptions),
        folder(folderPath),
        lock(LockModel(folder.Root() / kModelFileName)),
        session(folder, folder.Root() / kModelFileName, log),
        trainer(session, options.debounce) {
    session.setEditObserver([this] { trainer.EditMade(); });
  }

  // Whether the request names this server: its Host is one of the server's own names, and its
  // Origin, when a browser sends one, is a page of this server. A page elsewhere, or a name that
  // merely resolves here (DNS rebinding), gets nothing.
  bool FromItself(const httplib::Request& request) const {
    const std::string host = Lower(request.get_header_value("Host"));
    if (ownHosts.count(host) == 0) return false;
    if (!request.has_header("Origin")) return true;
    const std::string origin = Lower(request.get_header_value("Origin"));
    return origin.rfind("http://", 0) == 0 && ownHosts.count(origin.substr(7)) != 0;
  }

  HostOptions options;
  ServedFolder folder;
  std::unique_ptr<ModelLock> lock;
  Session session;
  Trainer trainer;
  httplib::Server server;
  std::set<std::string> ownHosts;
  int port = 0;
  std::atomic<bool> serving{false};
  std::atomic<bool> stopRequested{false};
};

BrowserHost::BrowserHost(const std::filesystem::path& folder, const HostOptions& options,
                         std::ostream& log)
    : parts_(std::make_unique<Parts>(folder, options, log)) {
  Parts& parts = *parts_;
  httplib::Server& server = parts.server;
  server.set_payload_max_length(options.maxBodyBytes);
  server.set_pre_routing_handler(
      [&parts](const httplib::Request& request, httplib::Response& response) {
        if (!parts.FromItself(request)) {
          SetJsonError(response, 403,
                       "refused: the request comes from another site or names another host");
          return httplib::Server::HandlerResponse::Handled;
        }
        response.set_header("Cache-Control", "no-store");
        response.set_header("X-Content-Type-Options", "nosniff");
        return httplib::Server::HandlerResponse::Unhandled;
      });
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        try {
          std::rethrow_exception(failure);
        } catch (const ApiError& error) {
          SetJsonError(response, error.Status(), error.what());
        } catch (const std::exception& error) {
          SetJsonError(response, 500, error.what());
        } catch (...) {
          SetJsonError(response, 500, "an unknown failure");
        }
      });
  server.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    // Errors that handlers set already carry their JSON body.
    if (!response.body.empty()) return;
    const std::string message = response.status == 404   ? "no such resource: " + request.path
                                : response.status == 413 ? "the request body is too large"
                                                         : "the request cannot be served";
    SetJsonError(response, response.status, message);
  });

  for (const WebAsset& asset : WebAssets()) {
    const std::string path = asset.path;
    const auto serve = [asset](const httplib::Request&, httplib::Response& response) {
      response.set_content(reinterpret_cast<const char*>(asset.data), asset.size,
                           asset.contentType);
      response.set_header("Content-Security-Policy", kContentSecurityPolicy);
    };
    server.Get(path, serve);
    if (path == "/index.html") server.Get("/", serve);
  }
  AddApiRoutes(server, parts.session, parts.trainer, parts.options);
}

BrowserHost::~BrowserHost() { Stop(); }

int BrowserHost::Bind() {
  Parts& parts = *parts_;
  const int port =
      parts.options.port == 0
          ? parts.server.bind_to_any_port(parts.options.host)
          : (parts.server.bind_to_port(parts.options.host, parts.options.port) ? parts.options.port
                                                                               : -1);
  if (port < 0) {
    throw WorkError(parts.options.host + ":" + std::to_string(parts.options.port),
                    "cannot listen on this address (is the port in use? try --port)");
  }
  parts.port = port;
  const std::string suffix = ":" + std::to_string(port);
  for (const std::string& name : {std::string("127.0.0.1"), std::string("localhost"),
                                  std::string("[::1]"), Lower(parts.options.host)}) {
    parts.ownHosts.insert(name + suffix);
  }
  return port;
}

// httplib's stop() does nothing before listen_after_bind() has started, so a stop that comes
// early (a signal right after start) is recorded, and Serve() then does not start, or Stop()
// waits until it has started to end it. Sequentially consistent flags make sure one side sees
// the other.
void BrowserHost::Serve() {
  Parts& parts = *parts_;
  parts.serving = true;
  if (!parts.stopRequested) parts.server.listen_after_bind();
  parts.serving = false;
}

void BrowserHost::Stop() {
  Parts& parts = *parts_;
  parts.stopRequested = true;
  while (parts.serving && !parts.server.is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  parts.server.stop();
  parts.trainer.Stop();
}

}  // namespace Smartseg::Serve
