#include "tools/smartseg/serve/ApiRoutes.h"

#include <cmath>
#include <cstdlib>

#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

using Json = nlohmann::json;

// Largest side of a downscaled view a client may ask for; 0 asks for full size.
constexpr int kMaxViewSide = 16384;
constexpr int kSuggestedRegions = 5;

void SendJson(httplib::Response& response, const Json& body) {
  response.status = 200;
  response.set_content(body.dump(), "application/json; charset=utf-8");
}

void SendPng(httplib::Response& response, const std::string& png) {
  response.status = 200;
  response.set_content(png, "image/png");
}

std::string Parameter(const httplib::Request& request, const char* name) {
  if (!request.has_param(name)) {
    throw ApiError(400, std::string("the request needs the parameter \"") + name + "\"");
  }
  return request.get_param_value(name);
}

double NumberParameter(const httplib::Request& request, const char* name, double fallback) {
  if (!request.has_param(name)) return fallback;
  const std::string text = request.get_param_value(name);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) {
    throw ApiError(400, std::string("the parameter \"") + name + "\" must be a number");
  }
  return value;
}

long long IdParameter(const httplib::Request& request) {
  const std::string text = Parameter(request, "id");
  char* end = nullptr;
  const long long id = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || id <= 0) {
    throw ApiError(400, "the parameter \"id\" must be a shape id (a whole number above 0)");
  }
  return id;
}

int MaxSideParameter(const httplib::Request& request) {
  const double value = NumberParameter(request, "max", 0.0);
  if (value < 0 || value > kMaxViewSide || value != std::floor(value)) {
    throw ApiError(400, "the parameter \"max\" must be a whole number from 0 to " +
                            std::to_string(kMaxViewSide));
  }
  return static_cast<int>(value);
}

Json Body(const httplib::Request& request) {
  try {
    return Json::parse(request.body);
  } catch (const Json::parse_error& error) {
    throw ApiError(400, std::string("the request body is not valid JSON: ") + error.what());
  }
}

// Waits until the session's operator has learned every edit, at most `wait`, so that a save
// writes a trained model. A round that later edits overtook is not published, so the wait goes on
// until a round finds no newer edit; it ends early when training fails, since waiting longer
// would not help. Answers whether the operator is trained.
bool WaitForTrainedModel(Session& session, Trainer& trainer, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!session.Trained()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !trainer.WaitForRound(session.Generation(), left)) return false;
    if (!trainer.Status()["error"].get<std::string>().empty()) return session.Trained();
  }
  return true;
}

}  // namespace

void SetJsonError(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_content(Json{{"error", message}, {"status", status}}.dump(),
                       "application/json; charset=utf-8");
}

void AddApiRoutes(httplib::Server& server, Session& session, Trainer& trainer,
                  const HostOptions& options) {
  server.Get("/api/state", [&](const httplib::Request&, httplib::Response& response) {
    Json state = session.State();
    state["trainer"] = trainer.Status();
    SendJson(response, state);
  });

  server.Get("/api/shapes", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.Shapes(Parameter(request, "image")));
  });
  server.Post("/api/shapes", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.AddShape(Parameter(request, "image"), Body(request)));
  });
  server.Put("/api/shapes", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.ReplaceShape(Parameter(request, "image"), IdParameter(request),
                                            Body(request)));
  });
  server.Delete("/api/shapes", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.RemoveShape(Parameter(request, "image"), IdParameter(request)));
  });

  server.Post("/api/labels", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.AddLabel(Body(request)));
  });
  server.Put("/api/labels", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.EditLabel(Parameter(request, "name"), Body(request)));
  });
  server.Delete("/api/labels", [&](const httplib::Request& request, httplib::Response& response) {
    SendJson(response, session.RemoveLabel(Parameter(request, "name")));
  });

  server.Get("/api/pixels", [&](const httplib::Request& request, httplib::Response& response) {
    const std::string name = Parameter(request, "image");
    const auto image = session.Image(name);
    const auto [fullLow, fullHigh] = image->pixels.SampleRange();
    const double low = NumberParameter(request, "low", fullLow);
    const double high = NumberParameter(request, "high", std::max(fullHigh, fullLow + 1.0));
    if (!(high > low)) throw ApiError(400, "\"high\" must be above \"low\"");
    SendPng(response,
            EncodePng(DisplayPixels(image->pixels, low, high, MaxSideParameter(request)), name));
  });

  server.Get("/api/prediction", [&](const httplib::Request& request, httplib::Response& response) {
    const std::string name = Parameter(request, "image");
    session.Image(name);
    trainer.Focus(name);
    const auto prediction = trainer.PredictionOf(name);
    const long long generation = session.Generation();
    if (!prediction) {
      SendJson(response, {{"available", false}, {"generation", generation}});
      return;
    }
    SendJson(response, {{"available", true},
                        {"image", name},
                        {"generation", prediction->generation},
                        {"current", prediction->generation == generation},
                        {"labels", prediction->labels},
                        {"seconds", prediction->seconds},
                        {"suggestions", SuggestRegions(*prediction, kSuggestedRegions)}});
  });
  server.Get("/api/prediction/view",
             [&](const httplib::Request& request, httplib::Response& response) {
               const std::string name = Parameter(request, "image");
               const auto prediction = trainer.PredictionOf(name);
               if (!prediction) throw ApiError(404, "no prediction for '" + name + "' yet");
               const std::string label =
                   request.has_param("label") ? request.get_param_value("label") : std::string();
               SendPng(response, EncodeView(*prediction, Parameter(request, "view"), label,
                                            MaxSideParameter(request)));
               response.set_header("X-Generation", std::to_string(prediction->generation));
             });

  server.Post("/api/save", [&, options](const httplib::Request&, httplib::Response& response) {
    Json saved;
    const bool caughtUp = WaitForTrainedModel(session, trainer, options.saveWait);
    saved = session.Save();
    saved["caughtUp"] = caughtUp;
    SendJson(response, saved);
  });

  server.Post("/api/segment-folder", [&](const httplib::Request&, httplib::Response& response) {
    trainer.StartBatch();
    SendJson(response, {{"started", true}});
  });
}

}  // namespace Smartseg::Serve
