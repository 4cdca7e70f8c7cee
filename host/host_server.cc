#include "host/host_server.h"

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "control/dispatcher.h"
#include "host/bridge_injection.h"
#include "host/bridge_script.h"
#include "host/cancellable_fetcher.h"
#include "host/content_type.h"
#include "host/event_channel.h"
#include "host/folder_listing.h"
#include "host/deadline_http_server.h"
#include "host/options.h"
#include "host/menu_snapshots.h"
#include "host/page_route.h"
#include "host/picture_file.h"
#include "host/script_json.h"
#include "platform/file_system.h"

namespace lumorel {
namespace {

// What a refusal by the HTTP library itself (before any route) says.
const char* libraryRefusal(int status) {
  switch (status) {
    case 400:
      return "bad request (malformed, or a POST without the length of its body)";
    case 404:
      return "no such route";
    case 405:
      return "method not allowed";
    case 413:
      return "request too large";
    case 414:
      return "address too long";
    default:
      return "error";
  }
}

using nlohmann::json;
using httplib::Request;
using httplib::Response;

constexpr char kJsonType[] = "application/json";
constexpr char kControlPattern[] = "/\\.lumorel/controls/([0-9a-f]{16})";
constexpr char kMenuPattern[] = "/\\.lumorel/menu/([0-9a-f]{16})";
// The largest request body the host reads (calls and answers are small).
constexpr std::size_t kMaxBody = 1 << 20;

void answerJson(Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(dumpScriptJson(body), kJsonType);
}

void refuse(Response& res, int status, std::string_view message) {
  answerJson(res, status, json{{"error", carriedText(message)}});
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A page's address: "/lm:" in any case.
bool isPagePath(std::string_view path) {
  return path.size() >= 4 && path[0] == '/' && (path[1] | 0x20) == 'l' && (path[2] | 0x20) == 'm' &&
         path[3] == ':';
}

// The answer to a request without the secret: how to get in, never the
// secret itself.
// A page that sends the browser on to `target` (a path of this origin) at
// once, from this origin.
std::string onwardPage(const std::string& target) {
  std::string quoted = nlohmann::json(target).dump();
  // Inside a script element, "</" would end it.
  for (std::size_t at = 0; (at = quoted.find('<', at)) != std::string::npos;)
    quoted.replace(at, 1, "\\u003c");
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Lumorel</title>\n"
         "<script>location.replace(" + quoted + ");</script></head><body></body></html>\n";
}

void refuseStranger(const Request& req, Response& res) {
  static constexpr char kHow[] =
      "This Lumorel lets in only the browser that opened its address. Run lumorel (or "
      "tools/run) and open the address it prints: that address carries the secret that lets "
      "your browser in.";
  if (startsWith(req.path, "/.lumorel/")) return refuse(res, 403, kHow);
  res.status = 403;
  res.set_header("Content-Security-Policy", "sandbox");
  res.set_content(std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                              "<title>Lumorel: not allowed</title></head><body>"
                              "<h1>Not allowed</h1><p>") +
                      kHow + "</p></body></html>",
                  "text/html; charset=utf-8");
}

std::optional<Variant> toVariant(const json& arg, std::string& error) {
  switch (arg.type()) {
    case json::value_t::string: {
      std::string text = engineText(arg.get<std::string>());
      if (text.find('\0') != std::string::npos) {
        error = "a text argument holds a NUL character";
        return std::nullopt;
      }
      return Variant(std::move(text));
    }
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float: {
      const double value = arg.get<double>();
      // Compared as doubles: a cast of a value out of an integer's range
      // would be undefined.
      if (value != std::trunc(value)) {
        error = "a number argument is not a whole number";
        return std::nullopt;
      }
      if (value >= -2147483648.0 && value <= 2147483647.0)
        return Variant(static_cast<int32_t>(value));
      if (value >= 0 && value <= 4294967295.0) return Variant(static_cast<uint32_t>(value));
      error = "a number argument is out of range";
      return std::nullopt;
    }
    case json::value_t::boolean:
      // Script's true is -1 as a number.
      return Variant(static_cast<int32_t>(arg.get<bool>() ? -1 : 0));
    case json::value_t::null:
      return Variant();
    default:
      error = "an argument is neither a text, a number nor a boolean";
      return std::nullopt;
  }
}

json toJson(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
      return nullptr;
    case Variant::Type::kInt32:
      return value.int32();
    case Variant::Type::kUint32:
      return value.uint32();
    case Variant::Type::kInt16:
      return value.int16();
    case Variant::Type::kString:
      return carriedText(value.text());
  }
  return nullptr;
}

std::optional<int32_t> intField(const json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_number_integer()) return std::nullopt;
  const int64_t value = it->get<int64_t>();
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<WindowPlacement> placementOf(const json& body) {
  auto it = body.find("window");
  if (it == body.end() || !it->is_object()) return std::nullopt;
  auto left = intField(*it, "left"), top = intField(*it, "top");
  auto width = intField(*it, "width"), height = intField(*it, "height");
  if (!left || !top || !width || !height) return std::nullopt;
  return WindowPlacement{*left, *top, *width, *height};
}

std::string dispatchError(HResult hr) {
  if (hr == kDispEMemberNotFound) return "the member has no such kind";
  if (hr == kDispEBadParamCount) return "wrong number of arguments";
  if (hr == kDispETypeMismatch) return "an argument has the wrong type";
  if (hr == kDispEOverflow) return "an argument is out of range";
  return "";
}

// A snapshot as the bridge keeps it: its version, and the answers by member
// name.
json snapshotJson(const PageSnapshot& snapshot) {
  json answers = json::object();
  for (const SnapshotAnswer& answer : snapshot.answers)
    answers[std::string(answer.member->name)] = toJson(answer.value);
  return json{{"version", snapshot.version}, {"answers", std::move(answers)}};
}

// The answer to a call that ran: its result and value, or what was wrong
// with it (the member was then not called), with the HTTP status that goes
// with it.
json callAnswer(const CallOutcome& outcome, int& status) {
  const std::string failure = dispatchError(outcome.hr);
  if (!failure.empty()) {
    status = 400;
    return json{{"error", failure}, {"hr", outcome.hr}};
  }
  status = 200;
  return json{{"hr", outcome.hr}, {"value", toJson(outcome.value)}};
}

// The answer to a call the page waits for: as callAnswer, with the control's
// version after the call and the snapshot the call carries, if any. (The
// outcome of a call that answers later comes on the event stream, which
// tells the page of every change itself.)
json waitedCallAnswer(const CallOutcome& outcome, int& status) {
  json answer = callAnswer(outcome, status);
  if (status != 200) return answer;
  answer["version"] = outcome.version;
  if (outcome.snapshot) answer["snapshot"] = snapshotJson(*outcome.snapshot);
  return answer;
}

// Streams what `channel` takes as server-sent events, `first` before
// everything else; the channel ends with the connection, and `ended` (if
// given) runs then.
void streamEvents(Response& res, std::shared_ptr<EventChannel> channel, std::string first,
                  std::function<void()> ended) {
  auto pending = std::make_shared<std::string>(std::move(first));
  res.set_header("Cache-Control", "no-cache");
  res.set_chunked_content_provider(
      "text/event-stream",
      [channel, pending](std::size_t, httplib::DataSink& sink) {
        if (!pending->empty()) {
          const std::string text = std::exchange(*pending, std::string());
          return sink.write(text.data(), text.size());
        }
        std::optional<std::string> text = channel->take(std::chrono::milliseconds(1000));
        if (!text) {
          sink.done();
          return true;
        }
        return sink.write(text->data(), text->size());
      },
      [channel, ended = std::move(ended)](bool) {
        channel->end();
        if (ended) ended();
      });
}

// The ids in the optional array `name` of `body`; false when it is there
// but not an array of texts.
bool idList(const json& body, const char* name, std::vector<std::string>& ids) {
  auto it = body.find(name);
  if (it == body.end()) return true;
  if (!it->is_array()) return false;
  for (const json& id : *it) {
    if (!id.is_string()) return false;
    ids.push_back(id.get<std::string>());
  }
  return true;
}

}  // namespace

class HostServer::Http : public DeadlineHttpServer {
 public:
  using DeadlineHttpServer::DeadlineHttpServer;
};

HostServer::HostServer(HostConfig config)
    : config_(std::move(config)),
      auth_(config_.token, config_.cookieSecret.empty() ? randomToken() : config_.cookieSecret),
      registry_(config_.session, config_.grace),
      server_(std::make_unique<Http>(config_.threads, config_.limits)) {
  // Small answers go out at once instead of waiting for an acknowledgement.
  server_->set_tcp_nodelay(true);
  // The library would also share the port with any other process of this
  // user that asks (SO_REUSEPORT); a second host must find it taken instead.
  server_->set_socket_options([](int sock) {
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server_->set_keep_alive_max_count(1000000);
  server_->set_payload_max_length(kMaxBody);
  server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Cache-Control", "no-store"}});
  routes();
}

HostServer::~HostServer() { stop(); }

bool HostServer::bind(std::string& error) {
  if (config_.port == 0) {
    const int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0) {
      error = "cannot listen on 127.0.0.1";
      return false;
    }
    port_ = static_cast<uint16_t>(port);
    server_->widenBacklog(SOMAXCONN);
    return true;
  }
  if (!server_->bind_to_port("127.0.0.1", config_.port)) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(config_.port) +
            " (is another Lumorel running? --port picks another port)";
    return false;
  }
  port_ = config_.port;
  server_->widenBacklog(SOMAXCONN);
  return true;
}

void HostServer::start() {
  // A write to a connection the browser closed fails instead of ending the
  // process.
  ::signal(SIGPIPE, SIG_IGN);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void HostServer::stop() {
  // Event streams and open dialogs end first, so no serving thread waits.
  registry_.closeAll();
  menus_.endAll();
  server_->halt();
  if (thread_.joinable()) thread_.join();
}

void HostServer::routes() {
  httplib::Server& s = *server_;

  s.set_pre_routing_handler([this](const Request& req, Response& res) {
    const std::string self = "127.0.0.1:" + std::to_string(port_);
    // A name that resolves to loopback but is not this address is a page
    // of another site that rebound its name.
    if (req.get_header_value("Host") != self) {
      refuse(res, 403, "wrong Host");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.has_header("Origin") && req.get_header_value("Origin") != "http://" + self) {
      refuse(res, 403, "foreign Origin");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.has_header("Sec-Fetch-Site")) {
      const std::string site = req.get_header_value("Sec-Fetch-Site");
      if (site != "same-origin" && site != "none") {
        // The launch page (a file of the user's, see browser_launch.h)
        // takes the browser to the address from another site. With the
        // token, that visit is the user's own; the browser goes on from a
        // page of this origin, so its next request is same-origin and
        // carries the cookie, which a redirect would not.
        const bool navigation = req.method == "GET" && isPagePath(req.path) &&
                                req.get_header_value("Sec-Fetch-Mode") == "navigate" &&
                                req.get_header_value("Sec-Fetch-Dest") == "document";
        std::optional<std::string> rest;
        if (navigation && (rest = auth_.firstVisit(req.target))) {
          res.set_header("Set-Cookie", auth_.cookieFor(port_));
          res.set_header("Cache-Control", "no-store");
          res.set_header("Referrer-Policy", "no-referrer");
          res.set_content(onwardPage(*rest), "text/html; charset=utf-8");
          return httplib::Server::HandlerResponse::Handled;
        }
        refuse(res, 403, "request from another site");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if ((req.method == "GET" || req.method == "HEAD") && isPagePath(req.path)) {
      // The address the user opened: the token becomes a cookie, and the
      // browser goes on to the same address without it.
      if (std::optional<std::string> rest = auth_.firstVisit(req.target)) {
        res.set_header("Set-Cookie", auth_.cookieFor(port_));
        res.set_redirect(*rest, 303);
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if (!auth_.admits(port_, req.get_header_value("X-Lumorel-Token"),
                      req.get_header_value("Cookie"))) {
      refuseStranger(req, res);
      return httplib::Server::HandlerResponse::Handled;
    }
    // A request with the secret: its connection is the pages' own (see
    // ConnectionTable).
    server_->trustCurrent();
    return httplib::Server::HandlerResponse::Unhandled;
  });

  s.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
    refuse(res, 500, "internal error");
  });
  s.set_error_handler([](const Request&, Response& res) {
    if (res.body.empty()) refuse(res, res.status, libraryRefusal(res.status));
  });
  // --- Pages ---

  s.Get("/[lL][mM]:[\\s\\S]*", [this](const Request& req, Response& res) {
    // The URL exactly as the browser sent it, query included.
    const std::string url = req.target.substr(1);
    // A relayed download ends when its client goes, or the host stops.
    auto fetcher = std::make_shared<CancellableFetcher>(
        *config_.fetcher,
        [client = DeadlineHttpServer::current()] { return !client || client->gone(); });
    ProducedPage page = producePage(
        url, ProtocolEnv{*config_.pages, *fetcher, config_.session.fs, config_.session.threads});
    if (!page.served) return refuse(res, 400, "the address is not an lm: URL that can be served");
    res.status = 200;
    if (page.bytes.empty()) return;  // the empty document
    const std::string type(sniffContentType(page.bytes));
    if (page.relay) {
      // Bytes from the web never run as a page of this origin.
      res.set_header("Content-Security-Policy", "sandbox");
      auto relay = page.relay;
      auto first = std::make_shared<std::string>(std::move(page.bytes));
      res.set_chunked_content_provider(
          type,
          [relay, first](std::size_t, httplib::DataSink& sink) {
            std::string chunk;
            if (!first->empty()) {
              chunk.swap(*first);
            } else {
              chunk = readMore(*relay);
            }
            if (chunk.empty()) {
              sink.done();
              return true;
            }
            return sink.write(chunk.data(), chunk.size());
          },
          // Holds the fetcher as long as the relay's stream may ask it.
          [relay, fetcher](bool success) {
            // A client that went away part way: a partly saved file goes.
            if (!success) (void)relay->Abort(kEFail, 0);
          });
      return;
    }
    if (isHtml(type)) {
      res.set_header("Content-Security-Policy", "frame-ancestors 'self'");
      res.set_content(injectBridge(page.bytes, bridgeElement()), type);
      return;
    }
    res.set_content(page.bytes, type);
  });

  // Browsers ask for it by themselves; there is none.
  s.Get("/favicon.ico", [](const Request&, Response& res) { res.status = 204; });

  s.Get("/.lumorel/bridge.js", [](const Request&, Response& res) {
    const std::string_view script = bridgeScript();
    res.set_content(script.data(), script.size(), "text/javascript");
  });

  // --- Controls ---

  s.Post("/.lumorel/controls", [this](const Request&, Response& res) {
    std::shared_ptr<ControlSession> session = registry_.create();
    if (!session) return refuse(res, 503, "no more controls can be made now");
    answerJson(res, 200, json{{"id", session->id()}});
  });

  s.Post(std::string(kControlPattern) + "/call", [this](const Request& req, Response& res) {
    std::shared_ptr<ControlSession> session = registry_.find(req.matches[1].str());
    if (!session) return refuse(res, 404, "no such control");
    std::string error;
    std::optional<json> body = parseScriptJson(req.body, error);
    if (!body) return refuse(res, 400, "bad JSON: " + error);
    if (!body->is_object()) return refuse(res, 400, "the call is not a JSON object");
    auto member = body->find("member");
    auto kind = body->find("kind");
    if (member == body->end() || !member->is_string())
      return refuse(res, 400, "\"member\" must be a text");
    if (kind == body->end() || !kind->is_string())
      return refuse(res, 400, "\"kind\" must be \"get\", \"put\" or \"method\"");
    uint16_t kinds = 0;
    const std::string kindText = kind->get<std::string>();
    if (kindText == "get") kinds = kPropertyGet;
    if (kindText == "put") kinds = kPropertyPut;
    if (kindText == "method") kinds = kMethod;
    if (kinds == 0) return refuse(res, 400, "\"kind\" must be \"get\", \"put\" or \"method\"");
    std::vector<Variant> args;
    auto given = body->find("args");
    if (given != body->end()) {
      if (!given->is_array()) return refuse(res, 400, "\"args\" must be an array");
      for (const json& arg : *given) {
        std::optional<Variant> value = toVariant(arg, error);
        if (!value) return refuse(res, 400, error);
        args.push_back(std::move(*value));
      }
    }
    const std::string name = engineText(member->get<std::string>());
    int32_t dispid = 0;
    if (idOfName(name, dispid) != kSOk) {
      return answerJson(res, 400, json{{"error", carriedText("unknown member \"" + name + "\"")},
                                       {"hr", kDispEUnknownName}});
    }
    if (body->contains("later")) {
      // Answered at once; the outcome follows on the control's event stream
      // as "result", so that no connection waits while a dialog does.
      std::optional<int32_t> later = intField(*body, "later");
      if (!later) return refuse(res, 400, "\"later\" must be a number");
      EventStream* events = &session->events();
      const int32_t number = *later;
      const bool queued = session->callLater(
          dispid, kinds, std::move(args), placementOf(*body),
          [events, number](const CallOutcome& outcome) {
            int status = 0;
            json result = callAnswer(outcome, status);
            result["later"] = number;
            events->send("result", dumpScriptJson(result));
          });
      if (!queued) return refuse(res, 410, "the control has been closed");
      return answerJson(res, 202, json{{"later", number}});
    }
    CallOutcome outcome = session->call(dispid, kinds, std::move(args), placementOf(*body));
    if (!outcome.ran) return refuse(res, 410, "the control has been closed");
    int status = 0;
    json answer = waitedCallAnswer(outcome, status);
    answerJson(res, status, answer);
  });

  // A page's own stream: its one control's messages as they are.
  s.Get(std::string(kControlPattern) + "/events", [this](const Request& req, Response& res) {
    std::shared_ptr<ControlSession> session = registry_.find(req.matches[1].str());
    if (!session) return refuse(res, 404, "no such control");
    auto channel = std::make_shared<EventChannel>(EventChannel::Kind::kPage);
    // False only for a channel that has ended, which this new one has not.
    (void)channel->add(session->id(), std::shared_ptr<EventStream>(session, &session->events()));
    streamEvents(res, std::move(channel), "retry: 1000\n\n", nullptr);
  });

  // A browser's shared stream (its events worker's): the messages of the
  // controls subscribed to it, each naming its control. It starts with its
  // id, for the subscriptions.
  s.Get("/.lumorel/controls/events", [this](const Request&, Response& res) {
    std::string id;
    std::shared_ptr<EventChannel> channel = registry_.openStream(id);
    if (!channel) return refuse(res, 503, "no more event streams can be opened now");
    streamEvents(res, std::move(channel),
                 "retry: 1000\n\nevent: stream\ndata: {\"stream\":\"" + id + "\"}\n\n",
                 [this, id] { registry_.closeStream(id); });
  });

  // {"subscribe": [control ids], "unsubscribe": [control ids]}: the shared
  // stream carries the first from now on and lets the second go (their
  // grace begins). Answers the ids that were no live control, or (to
  // unsubscribe) not carried by the stream.
  s.Post("/\\.lumorel/controls/events/([0-9a-f]{16})", [this](const Request& req, Response& res) {
    std::shared_ptr<EventChannel> channel = registry_.findStream(req.matches[1].str());
    if (!channel) return refuse(res, 404, "no such event stream");
    std::string error;
    std::optional<json> body = parseScriptJson(req.body, error);
    if (!body) return refuse(res, 400, "bad JSON: " + error);
    std::vector<std::string> subscribe, unsubscribe;
    if (!body->is_object() || !idList(*body, "subscribe", subscribe) ||
        !idList(*body, "unsubscribe", unsubscribe))
      return refuse(res, 400, "the change must be {\"subscribe\": [ids], \"unsubscribe\": [ids]}");
    json unknown = json::array();
    // The ids come and go back in carried form; a live one is plain hex.
    for (const std::string& id : unsubscribe)
      if (!channel->remove(id)) unknown.push_back(id);
    for (const std::string& id : subscribe) {
      std::shared_ptr<ControlSession> session = registry_.find(id);
      if (!session) {
        unknown.push_back(id);
        continue;
      }
      if (!channel->add(id, std::shared_ptr<EventStream>(session, &session->events())))
        return refuse(res, 404, "no such event stream");
    }
    answerJson(res, 200, json{{"unknown", unknown}});
  });

  s.Post(std::string(kControlPattern) + "/dialog", [this](const Request& req, Response& res) {
    std::shared_ptr<ControlSession> session = registry_.find(req.matches[1].str());
    if (!session) return refuse(res, 404, "no such control");
    std::string error;
    std::optional<json> body = parseScriptJson(req.body, error);
    if (!body) return refuse(res, 400, "bad JSON: " + error);
    if (!body->is_object() || !body->contains("answer"))
      return refuse(res, 400, "the answer must be {\"dialog\": N, \"answer\": ...}");
    std::optional<int32_t> dialog = intField(*body, "dialog");
    if (!dialog) return refuse(res, 400, "\"dialog\" must be a number");
    std::optional<DialogAnswer> taken = session->answerDialog(*dialog, (*body)["answer"]);
    if (!taken) return refuse(res, 410, "the control has been closed");
    switch (*taken) {
      case DialogAnswer::kTaken:
        return answerJson(res, 200, json{{"ok", true}});
      case DialogAnswer::kNoSuchDialog:
        return refuse(res, 409, "no such dialog is open");
      case DialogAnswer::kBadAnswer:
        return refuse(res, 400, "not an answer to that dialog");
    }
  });

  s.Delete(kControlPattern, [this](const Request& req, Response& res) {
    if (!registry_.remove(req.matches[1].str())) return refuse(res, 404, "no such control");
    res.status = 204;
  });

  s.Get(std::string(kControlPattern) + "/folders", [this](const Request& req, Response& res) {
    std::shared_ptr<ControlSession> session = registry_.find(req.matches[1].str());
    if (!session) return refuse(res, 404, "no such control");
    if (!session->folderPromptOpen()) return refuse(res, 403, "no folder prompt is open");
    json places = json::array();
    for (const std::string& place : startingPlaces(std::getenv("HOME")))
      places.push_back(carriedText(place));
    json body{{"places", places}};
    // A path as the user typed it: full, below the home folder ("~/..."),
    // or below the folder the prompt shows (`from`).
    const std::string typed = req.get_param_value("path");
    if (!typed.empty()) {
      const char* home = std::getenv("HOME");
      std::optional<std::string> path =
          resolveFolderPath(typed, req.get_param_value("from"), home ? home : "");
      std::optional<std::vector<std::string>> folders;
      if (path) folders = listFolders(config_.session.fs, *path);
      if (!folders) {
        const FolderProblem problem =
            path ? whyUnlisted(config_.session.fs, *path) : FolderProblem::kMissing;
        return answerJson(res, 404, json{{"error", "the folder cannot be listed"},
                                         {"problem", std::string(folderProblemName(problem))}});
      }
      json names = json::array();
      for (const std::string& name : *folders) names.push_back(carriedText(name));
      body["path"] = carriedText(*path);
      body["folders"] = names;
    }
    answerJson(res, 200, body);
  });

  // Whether a folder the user chose is a file system's root, which the
  // organizer refuses as it refuses a drive. Reads only the mount table,
  // whose mount points the folder prompt lists anyway.
  s.Get(std::string(kControlPattern) + "/mount-point", [this](const Request& req, Response& res) {
    if (!registry_.find(req.matches[1].str())) return refuse(res, 404, "no such control");
    const std::string path = req.get_param_value("path");
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
      return refuse(res, 400, "not a full path");
    answerJson(res, 200, json{{"mountPoint", isMountPoint(readMounts(), path)}});
  });

  // --- The context menu ---

  // A snapshot of a right-clicked page, from the browser's menu relay; the
  // answer names the page that shows it.
  s.Post("/.lumorel/menu", [this](const Request& req, Response& res) {
    std::string error;
    std::optional<json> body = parseScriptJson(req.body, error);
    if (!body) return refuse(res, 400, "bad JSON: " + error);
    std::shared_ptr<MenuSnapshot> menu = menus_.add(*body, error);
    if (!menu) return refuse(res, 400, error);
    answerJson(res, 200,
               json{{"id", menu->id()},
                    {"page", "/lm:" + menu->snapshot()["page"].get<std::string>() +
                                 "#menu=" + menu->id()}});
  });

  s.Get(std::string(kMenuPattern), [this](const Request& req, Response& res) {
    std::shared_ptr<MenuSnapshot> menu = menus_.find(req.matches[1].str());
    if (!menu) return refuse(res, 404, "no such menu snapshot");
    answerJson(res, 200, menu->snapshot());
  });

  // {"url": address}: the page asks the right-clicked tab to go there.
  s.Post(std::string(kMenuPattern) + "/navigate", [this](const Request& req, Response& res) {
    std::shared_ptr<MenuSnapshot> menu = menus_.find(req.matches[1].str());
    if (!menu) return refuse(res, 404, "no such menu snapshot");
    std::string error;
    std::optional<json> body = parseScriptJson(req.body, error);
    if (!body) return refuse(res, 400, "bad JSON: " + error);
    auto url = body->is_object() ? body->find("url") : body->end();
    if (url == body->end() || !url->is_string() || !isNavigableAddress(url->get<std::string>()))
      return refuse(res, 400, "\"url\" must be an http or https address");
    menu->navigate(url->get<std::string>());
    answerJson(res, 200, json{{"ok", true}});
  });

  // The navigations the page asks, as server-sent events "navigate", for
  // the relay that carries them to the browser.
  s.Get(std::string(kMenuPattern) + "/events", [this](const Request& req, Response& res) {
    std::shared_ptr<MenuSnapshot> menu = menus_.find(req.matches[1].str());
    if (!menu) return refuse(res, 404, "no such menu snapshot");
    auto first = std::make_shared<bool>(true);
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream", [menu, first](std::size_t, httplib::DataSink& sink) {
          std::string text;
          if (std::exchange(*first, false)) {
            text = "retry: 1000\n\n";
          } else {
            std::optional<std::string> url = menu->takeNavigation(std::chrono::milliseconds(1000));
            if (!url) {
              sink.done();
              return true;
            }
            text = url->empty() ? ":\n\n"
                                : "event: navigate\ndata: " +
                                      dumpScriptJson(json{{"url", carriedText(*url)}}) + "\n\n";
          }
          return sink.write(text.data(), text.size());
        });
  });

  // --- Pictures ---

  s.Get("/.lumorel/picture", [this](const Request& req, Response& res) {
    const std::string path = req.get_param_value("path");
    std::optional<PictureFile> picture;
    if (!path.empty() && path.front() == '/' && path.find('\0') == std::string::npos)
      picture = registry_.pictureHandedOut(path);
    if (!picture) return refuse(res, 404, "no such picture");
    off_t size = 0;
    auto file = std::make_shared<UniqueFd>(openPicture(*picture, size));
    if (!file->valid()) return refuse(res, 404, "no such picture");
    char head[16];
    const ssize_t got = ::pread(file->get(), head, sizeof head, 0);
    const std::string type(pictureContentType(std::string_view(head, got > 0 ? got : 0)));
    // Whatever the file holds, it never runs as a page of this origin.
    res.set_header("Content-Security-Policy", "sandbox");
    res.set_content_provider(
        static_cast<std::size_t>(size), type,
        [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          char buffer[64 * 1024];
          const ssize_t n = ::pread(file->get(), buffer, std::min(length, sizeof buffer),
                                    static_cast<off_t>(offset));
          if (n <= 0) return false;  // the file shrank: the answer breaks off
          return sink.write(buffer, static_cast<std::size_t>(n));
        });
  });
}

}  // namespace lumorel
