#include "host/host_server.h"

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "control/dispatcher.h"
#include "host/bridge_injection.h"
#include "host/bridge_script.h"
#include "host/cancellable_fetcher.h"
#include "host/content_type.h"
#include "host/folder_listing.h"
#include "host/loopback_http_server.h"
#include "host/page_route.h"
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
// The largest request body the host reads (calls and answers are small).
constexpr std::size_t kMaxBody = 1 << 20;

void answerJson(Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(dumpScriptJson(body), kJsonType);
}

void refuse(Response& res, int status, std::string_view message) {
  answerJson(res, status, json{{"error", carriedText(message)}});
}

// Compares without stopping at the first difference, so the time taken
// tells nothing about the token.
bool sameToken(std::string_view given, std::string_view token) {
  unsigned char diff = given.size() == token.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i)
    diff |= static_cast<unsigned char>(given[i] ^ token[i % token.size()]);
  return diff == 0;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The routes whose requests come from elements that cannot add a header
// (a script element, an event source, a picture): they may carry the token
// as the query parameter "token".
bool tokenMayBeInQuery(const Request& req) {
  if (req.method != "GET") return false;
  const std::string& path = req.path;
  if (path == "/.lumorel/bridge.js" || path == "/.lumorel/picture") return true;
  return startsWith(path, "/.lumorel/controls/") && path.size() > 7 &&
         path.compare(path.size() - 7, 7, "/events") == 0;
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
      if (value != static_cast<double>(static_cast<int64_t>(value))) {
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

// A regular file opened without following a link in its last component.
int openPicture(const std::string& path, off_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  size = st.st_size;
  return fd;
}

}  // namespace

class HostServer::Http : public LoopbackHttpServer {
 public:
  using LoopbackHttpServer::LoopbackHttpServer;
};

HostServer::HostServer(HostConfig config)
    : config_(std::move(config)),
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
        refuse(res, 403, "request from another site");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if (startsWith(req.path, "/.lumorel/")) {
      std::string token = req.get_header_value("X-Lumorel-Token");
      if (token.empty() && tokenMayBeInQuery(req)) token = req.get_param_value("token");
      if (!sameToken(token, config_.token)) {
        refuse(res, 403, "missing or wrong token");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  s.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
    refuse(res, 500, "internal error");
  });
  s.set_error_handler([](const Request&, Response& res) {
    if (res.body.empty()) refuse(res, res.status, libraryRefusal(res.status));
  });
  // A bridge request answered without an error has proved the token: its
  // connection is the pages' own (see ConnectionTable).
  s.set_post_routing_handler([this](const Request& req, Response& res) {
    if (res.status < 400 && startsWith(req.path, "/.lumorel/")) server_->trustCurrent();
  });

  // --- Pages ---

  s.Get("/[lL][mM]:[\\s\\S]*", [this](const Request& req, Response& res) {
    // The URL exactly as the browser sent it, query included.
    const std::string url = req.target.substr(1);
    // A relayed download ends when its client goes, or the host stops.
    auto fetcher = std::make_shared<CancellableFetcher>(
        *config_.fetcher,
        [client = LoopbackHttpServer::current()] { return !client || client->gone(); });
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
      res.set_content(injectBridge(page.bytes, bridgeElement(config_.token)), type);
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
    CallOutcome outcome = session->call(dispid, kinds, std::move(args), placementOf(*body));
    if (!outcome.ran) return refuse(res, 410, "the control has been closed");
    const std::string failure = dispatchError(outcome.hr);
    if (!failure.empty())
      return answerJson(res, 400, json{{"error", failure}, {"hr", outcome.hr}});
    answerJson(res, 200, json{{"hr", outcome.hr}, {"value", toJson(outcome.value)}});
  });

  s.Get(std::string(kControlPattern) + "/events", [this](const Request& req, Response& res) {
    std::shared_ptr<ControlSession> session = registry_.find(req.matches[1].str());
    if (!session) return refuse(res, 404, "no such control");
    const uint64_t stream = session->events().attach();
    auto started = std::make_shared<bool>(false);
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream",
        [session, stream, started](std::size_t, httplib::DataSink& sink) {
          if (!*started) {
            *started = true;
            static constexpr std::string_view kRetry = "retry: 1000\n\n";
            return sink.write(kRetry.data(), kRetry.size());
          }
          std::optional<std::string> text =
              session->events().take(stream, std::chrono::milliseconds(1000));
          if (!text) {
            sink.done();
            return true;
          }
          return sink.write(text->data(), text->size());
        },
        [session, stream](bool) { session->events().detach(stream); });
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
    const std::string path = req.get_param_value("path");
    if (!path.empty()) {
      std::optional<std::vector<std::string>> folders =
          listFolders(config_.session.fs, path);
      if (!folders) return refuse(res, 404, "the folder cannot be listed");
      json names = json::array();
      for (const std::string& name : *folders) names.push_back(carriedText(name));
      body["path"] = carriedText(path.back() == '/' ? path : path + "/");
      body["folders"] = names;
    }
    answerJson(res, 200, body);
  });

  // --- Pictures ---

  s.Get("/.lumorel/picture", [this](const Request& req, Response& res) {
    const std::string path = req.get_param_value("path");
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos ||
        !registry_.pictureHandedOut(path))
      return refuse(res, 404, "no such picture");
    off_t size = 0;
    const int fd = openPicture(path, size);
    if (fd < 0) return refuse(res, 404, "no such picture");
    auto file = std::shared_ptr<int>(new int(fd), [](int* f) {
      ::close(*f);
      delete f;
    });
    char head[16];
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const std::string type(sniffContentType(std::string_view(head, got > 0 ? got : 0)));
    res.set_content_provider(
        static_cast<std::size_t>(size), type,
        [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          char buffer[64 * 1024];
          const ssize_t n = ::pread(*file, buffer, std::min(length, sizeof buffer),
                                    static_cast<off_t>(offset));
          if (n <= 0) return false;  // the file shrank: the answer breaks off
          return sink.write(buffer, static_cast<std::size_t>(n));
        });
  });
}

}  // namespace lumorel
