// The JSON and image API of the browser host, under /api.
#pragma once

#include <httplib.h>

#include "tools/smartseg/serve/BrowserHost.h"
#include "tools/smartseg/serve/Session.h"
#include "tools/smartseg/serve/Trainer.h"

namespace Smartseg::Serve {

// Registers the API's handlers. Handlers report failures by throwing (ApiError for the client's
// mistakes); the server's exception handler turns that into a JSON error.
void AddApiRoutes(httplib::Server& server, Session& session, Trainer& trainer,
                  const HostOptions& options);

// Sets `response` to {"error": message, "status": status}.
void SetJsonError(httplib::Response& response, int status, const std::string& message);

}  // namespace Smartseg::Serve
