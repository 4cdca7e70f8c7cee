#include "protocol/plug_prot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "catalogue/catalogue_test_util.h"
#include "protocol/page_request.h"
#include "protocol/protocol_codes.h"
#include "protocol/protocol_test_util.h"
#include "test_support/loopback_http_server.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

constexpr uint32_t kAllData = kBscfLastDataNotification | kBscfDataFullyAvailable;

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return s;
}

// The notifications of a URL whose content has `size` bytes.
std::vector<Report> reportsFor(uint32_t size, HResult result) {
  return {{Report::kProgress, kBindStatusSendingRequest},
          {Report::kProgress, kBindStatusEndDownloadData},
          {Report::kData, kAllData, size, size},
          {Report::kResult, result, 0}};
}

class PlugProtTest : public ::testing::Test {
 protected:
  PlugProtTest() {
    pages_.add("ABOUT", "about");
    pages_.add("MAIN", pattern(6571));
    pages_.add("MAINIMG", "<script>var l='%2!s!',s='%1!s!';</script>", true);
  }

  // A handler started on `url`, with its worker's result awaited.
  std::shared_ptr<PlugProt> started(const std::string& url) {
    auto handler = PlugProt::create(env_);
    EXPECT_EQ(handler->Start(url, sink_, &bindInfo_, 0, 0), kSOk) << url;
    EXPECT_TRUE(sink_->waitForResult()) << url;
    return handler;
  }

  // Reads the handler's content in `chunk`-byte Reads until a Read gives no
  // bytes; checks each Read's result.
  static std::string readAll(PlugProt& handler, uint32_t chunk, HResult eachResult) {
    std::string all, buffer(chunk, '\0');
    while (true) {
      uint32_t got = 12345;
      HResult hr = handler.Read(buffer.data(), chunk, &got);
      if (hr == kSFalse && eachResult == kSOk) return all;  // the end of a page
      EXPECT_EQ(hr, eachResult);
      if (got == 0 || got == 12345) return all;
      all.append(buffer.data(), got);
    }
  }

  MapPageStore pages_;
  CountingFetcher fetcher_;
  CountingThreads threads_;
  ForwardingFileSystem fs_;
  ProtocolEnv env_{pages_, fetcher_, fs_, threads_};
  std::shared_ptr<RecordingSink> sink_ = std::make_shared<RecordingSink>();
  FixedBindInfo bindInfo_;
  TempFolder folder_;
};

TEST_F(PlugProtTest, ReadsAPageInPiecesAndThenGivesNothing) {
  auto handler = started("lm:main");
  EXPECT_EQ(sink_->reports(), reportsFor(6571, kSOk));
  EXPECT_EQ(threads_.lastPriority, ThreadPriority::kAboveNormal);

  std::vector<char> buffer(4096);
  uint32_t got = 0;
  EXPECT_EQ(handler->Read(buffer.data(), 0, &got), kSFalse) << "a count of 0 moves nothing";
  EXPECT_EQ(handler->Read(buffer.data(), 4096, &got), kSOk);
  EXPECT_EQ(got, 4096u);
  EXPECT_EQ(std::string(buffer.data(), got), pattern(4096));
  EXPECT_EQ(handler->Read(buffer.data(), 4096, &got), kSOk);
  EXPECT_EQ(got, 2475u);
  EXPECT_EQ(std::string(buffer.data(), got), pattern(6571).substr(4096));
  got = 99;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(handler->Read(buffer.data(), 4096, &got), kSFalse);
    EXPECT_EQ(got, 99u) << "nothing given, nothing told";
  }
  EXPECT_EQ(handler->Read(buffer.data(), 1, nullptr), kSFalse);
}

TEST_F(PlugProtTest, ReadsByteByByte) {
  auto handler = started("lm:&rsrc=mainimg&2=0&1=");
  const std::string page = std::string("<script>var l='0',s='';</script>") + '\0';
  EXPECT_EQ(sink_->reports(), reportsFor(static_cast<uint32_t>(page.size()), kSFalse));
  EXPECT_EQ(readAll(*handler, 1, kSOk), page);
  EXPECT_EQ(handler->Terminate(0), kSOk);
}

TEST_F(PlugProtTest, AcceptsOnlyLmUrlsThatFit) {
  const std::pair<std::string, HResult> cases[] = {
      {"LM:main", kSOk},
      {"Lm:&rsrc=main", kSOk},
      {"lm:" + std::string(kMaxUrlText - 1 - 3, 'p'), kSOk},
      {"lm:" + std::string(kMaxUrlText - 3, 'p'), kInetEUseDefaultProtocolHandler},
      {"http://h/", kInetEUseDefaultProtocolHandler},
      {"lm", kInetEUseDefaultProtocolHandler},
      {"", kInetEUseDefaultProtocolHandler},
      {std::string("lm:ma\0in", 8), kInetEUseDefaultProtocolHandler},
  };
  for (const auto& [url, hr] : cases) {
    auto sink = std::make_shared<RecordingSink>();
    auto handler = PlugProt::create(env_);
    EXPECT_EQ(handler->Start(url, sink, &bindInfo_, 0, 0), hr) << url.substr(0, 20);
    if (hr == kSOk) {
      EXPECT_TRUE(sink->waitForResult());
    } else {
      EXPECT_EQ(sink.use_count(), 1) << "a refused URL keeps no sink";
    }
  }
  EXPECT_EQ(threads_.started.load(), 3);
  EXPECT_EQ(kInetEUseDefaultProtocolHandler, static_cast<HResult>(0x800C0011u));
}

TEST_F(PlugProtTest, RefusesWithoutSinkOrBindInformation) {
  auto handler = PlugProt::create(env_);
  EXPECT_EQ(handler->Start("lm:main", nullptr, &bindInfo_, 0, 0),
            kInetEUseDefaultProtocolHandler);
  EXPECT_EQ(handler->Start("lm:main", sink_, nullptr, 0, 0), kInetEUseDefaultProtocolHandler);
  FixedBindInfo failing(false);
  EXPECT_EQ(handler->Start("lm:main", sink_, &failing, 0, 0), kInetEUseDefaultProtocolHandler);
  EXPECT_EQ(threads_.started.load(), 0);
  EXPECT_EQ(sink_.use_count(), 2) << "the handler keeps the sink until Terminate";
  EXPECT_EQ(handler->Terminate(0), kSOk);
  EXPECT_EQ(sink_.use_count(), 1);
  EXPECT_TRUE(sink_->reports().empty());
}

TEST_F(PlugProtTest, StartsOneWorkerOnly) {
  auto handler = started("lm:main");
  auto second = std::make_shared<RecordingSink>();
  EXPECT_EQ(handler->Start("lm:about", second, &bindInfo_, 0, 0),
            kInetEUseDefaultProtocolHandler);
  EXPECT_EQ(threads_.started.load(), 1);
  EXPECT_EQ(readAll(*handler, 8192, kSOk), pattern(6571)) << "the first URL's content";
  EXPECT_TRUE(second->reports().empty());
}

TEST_F(PlugProtTest, AWorkerThatCannotBeMadeIsReported) {
  threads_.fail = true;
  auto handler = PlugProt::create(env_);
  EXPECT_EQ(handler->Start("lm:main", sink_, &bindInfo_, 0, 0), kInetEUseDefaultProtocolHandler);
  EXPECT_EQ(sink_->reports(), (std::vector<Report>{{Report::kResult, kEFail, 0}}));
}

TEST_F(PlugProtTest, AnUnknownPageIsAnEmptyDocument) {
  auto handler = started("lm:nothing");
  EXPECT_EQ(sink_->reports(), reportsFor(0, kSOk));
  char buffer[8];
  EXPECT_EQ(handler->Read(buffer, 8, nullptr), kSFalse);
}

TEST_F(PlugProtTest, OffersNoOtherOperations) {
  auto handler = started("lm:main");
  uint64_t position = 7;
  EXPECT_EQ(handler->Continue(nullptr), kENotImpl);
  EXPECT_EQ(handler->Suspend(), kENotImpl);
  EXPECT_EQ(handler->Resume(), kENotImpl);
  EXPECT_EQ(handler->Seek(0, 0, &position), kENotImpl);
  EXPECT_EQ(handler->LockRequest(0), kENotImpl);
  EXPECT_EQ(handler->UnlockRequest(), kENotImpl);
  EXPECT_EQ(kENotImpl, static_cast<HResult>(0x80004001u));
  EXPECT_EQ(position, 7u);
  EXPECT_EQ(readAll(*handler, 100000, kSOk), pattern(6571)) << "nothing moved";
}

TEST_F(PlugProtTest, AnswersProtocolInformation) {
  auto handler = PlugProt::create(env_);
  char16_t buffer[32];
  uint32_t length = 0;
  EXPECT_EQ(handler->ParseUrl(u"lm:&1=http://H:8080/", kParseDomain, 0, buffer, 32, &length), kSOk);
  EXPECT_EQ(std::u16string(buffer), u"H");
  uint32_t answer = 0, size = 0;
  EXPECT_EQ(handler->QueryInfo(u"lm:main", kQueryCanNavigate, 0, &answer, 4, &size), kSOk);
  EXPECT_EQ(answer, 1u);
  EXPECT_EQ(handler->CompareUrl(u"lm:a", u"lm:a", 0), kInetEDefaultAction);
  EXPECT_EQ(handler->CombineUrl(u"lm:a", u"b", 0, buffer, 32, &length), kInetEDefaultAction);
}

// Counts the worker's start and end, and sees whether the handler is gone by
// the end.
class WatchingHooks final : public ProtocolWorkerHooks {
 public:
  void workerStarted() override { started.fetch_add(1, std::memory_order_relaxed); }
  void workerEnded() override {
    handlerGoneAtEnd.store(handler.expired(), std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(mu);
    ended = true;
    cv.notify_all();
  }
  bool waitForEnd() {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, std::chrono::seconds(10), [this] { return ended; });
  }
  std::weak_ptr<PlugProt> handler;
  std::atomic<int> started{0};
  std::atomic<bool> handlerGoneAtEnd{false};
  std::mutex mu;
  std::condition_variable cv;
  bool ended = false;
};

TEST_F(PlugProtTest, AHandlerLetGoDuringItsWorkIsDestroyedOnTheWorker) {
  WatchingHooks hooks;
  ProtocolEnv env{pages_, fetcher_, fs_, threads_, &hooks};
  LoopbackHttpServer server;
  server.answer("/slow.jpg", {.silent = true});
  {
    auto handler = PlugProt::create(env);
    hooks.handler = handler;
    ASSERT_EQ(handler->Start("lm:&src=" + server.url("/slow.jpg"), sink_, &bindInfo_, 0, 0),
              kSOk);
    ASSERT_TRUE(server.waitUntilHeld());
    EXPECT_EQ(handler->Terminate(0), kSOk);
  }
  EXPECT_EQ(sink_.use_count(), 2) << "the worker holds its own reference";
  server.release();  // the fetch fails: an empty document
  ASSERT_TRUE(hooks.waitForEnd());
  EXPECT_EQ(hooks.started.load(), 1);
  EXPECT_TRUE(hooks.handlerGoneAtEnd.load());
  EXPECT_EQ(sink_->reports(), reportsFor(0, kSFalse)) << "reported to the sink it took";
}

class RelayTest : public PlugProtTest {
 protected:
  RelayTest() {
    server_.answer("/big.jpg", {.body = pattern(200000)});
    server_.answer("/stalls.jpg", {.body = pattern(50000), .holdAfter = 20000});
  }

  std::string relayUrl(const std::string& savePath, const std::string& path) {
    return "lm:&save=" + savePath + "&src=" + server_.url(path);
  }

  LoopbackHttpServer server_;
};

TEST_F(RelayTest, StreamsTheDownloadAndSavesIt) {
  const std::string path = folder_ / "saved.jpg";
  std::string encoded;
  for (char c : path) encoded += c == '/' ? std::string("%2F") : std::string(1, c);
  auto handler = started(relayUrl(encoded, "/big.jpg"));
  EXPECT_EQ(sink_->reports(), reportsFor(0, kSFalse));
  EXPECT_FALSE(fs_.exists(path.c_str())) << "the file comes with the first Read";
  uint32_t none = 7;
  EXPECT_EQ(handler->Read(nullptr, 0, &none), kSFalse);
  EXPECT_EQ(none, 0u) << "nothing asked, nothing given";
  EXPECT_EQ(readFile(path), "");

  EXPECT_EQ(readAll(*handler, 4096, kSFalse), pattern(200000));
  char buffer[16];
  uint32_t got = 7;
  EXPECT_EQ(handler->Read(buffer, sizeof buffer, &got), kSFalse);
  EXPECT_EQ(got, 0u) << "still the end";
  EXPECT_EQ(handler->Terminate(0), kSOk);
  handler.reset();
  EXPECT_EQ(readFile(path), pattern(200000)) << "kept by the final release";
}

TEST_F(RelayTest, SavesOnlyANewPicture) {
  const std::string existing = folder_.write("old.jpg", "OLD");
  ASSERT_EQ(symlink((folder_ / "target.jpg").c_str(), (folder_ / "link.jpg").c_str()), 0);
  for (const std::string& path :
       {folder_ / "notes.txt", existing, folder_ / "link.jpg", folder_ / "none/new.jpg",
        folder_ / "a.jpg%00.txt"}) {
    sink_ = std::make_shared<RecordingSink>();
    auto handler = started(relayUrl(path, "/big.jpg"));
    EXPECT_EQ(readAll(*handler, 65536, kSFalse), pattern(200000)) << "relayed: " << path;
  }
  EXPECT_EQ(listNames(folder_.path()), (std::vector<std::string>{"link.jpg", "old.jpg"}));
  EXPECT_EQ(readFile(existing), "OLD");
  EXPECT_EQ(readFile(folder_ / "target.jpg"), "<missing>") << "the link was not followed";
}

TEST_F(RelayTest, AbortDeletesThePartlyWrittenFile) {
  const std::string path = folder_ / "part.jpg";
  auto handler = started(relayUrl(path, "/stalls.jpg"));
  std::string buffer(1000, '\0'), received;
  uint32_t got = 0;
  while (received.size() < 3000) {
    ASSERT_EQ(handler->Read(buffer.data(), 1000, &got), kSFalse);
    ASSERT_GT(got, 0u);
    received.append(buffer.data(), got);
  }
  EXPECT_EQ(received, pattern(received.size()));
  EXPECT_EQ(readFile(path), received);
  EXPECT_EQ(handler->Abort(kEFail, 0), kSOk);
  EXPECT_EQ(readFile(path), "<missing>");
  got = 7;
  EXPECT_EQ(handler->Read(buffer.data(), 1000, &got), kSFalse);
  EXPECT_EQ(got, 7u) << "nothing more";
  EXPECT_EQ(readFile(path), "<missing>") << "and no file again";
  server_.release();
}

TEST_F(RelayTest, AbortStopsAReadThatWaitsForTheNetwork) {
  const std::string path = folder_ / "waiting.jpg";
  auto handler = started(relayUrl(path, "/stalls.jpg"));
  std::string received;
  std::thread reader([&] { received = readAll(*handler, 4096, kSFalse); });
  ASSERT_TRUE(server_.waitUntilHeld());
  // The reader has the 20,000 bytes before the hold, then waits.
  for (int ms = 0; ms < 10000 && fs_.fileSize(path.c_str()).value_or(0) < 20000; ++ms)
    Clock::system().sleep(1);
  EXPECT_EQ(handler->Abort(kEFail, 0), kSOk);
  reader.join();
  EXPECT_EQ(received, pattern(20000));
  EXPECT_EQ(readFile(path), "<missing>");
  server_.release();
}

TEST_F(RelayTest, AbortWhileTheDownloadStartsKeepsNoStream) {
  server_.answer("/silent.jpg", {.silent = true});
  auto handler = PlugProt::create(env_);
  ASSERT_EQ(handler->Start(relayUrl(folder_ / "s.jpg", "/silent.jpg"), sink_, &bindInfo_, 0, 0),
            kSOk);
  ASSERT_TRUE(server_.waitUntilHeld());
  EXPECT_EQ(handler->Abort(kEFail, 0), kSOk);
  ASSERT_TRUE(sink_->waitForResult()) << "the fetch stopped without the server";
  EXPECT_EQ(sink_->reports(), reportsFor(0, kSFalse));
  char buffer[8];
  EXPECT_EQ(handler->Read(buffer, 8, nullptr), kSFalse);
  EXPECT_EQ(listNames(folder_.path()), std::vector<std::string>{});
  server_.release();
}

TEST_F(RelayTest, ADownloadThatFailsPartWayLeavesNoFile) {
  CountingFetcher impatient({.connectTimeoutMs = 2000, .totalTimeoutMs = 700});
  auto handler = PlugProt::create({pages_, impatient, fs_, threads_});
  const std::string path = folder_ / "cut.jpg";
  ASSERT_EQ(handler->Start(relayUrl(path, "/stalls.jpg"), sink_, &bindInfo_, 0, 0), kSOk);
  ASSERT_TRUE(sink_->waitForResult());
  EXPECT_EQ(readAll(*handler, 4096, kSFalse), pattern(20000)) << "then the time-out";
  EXPECT_EQ(readFile(path), "<missing>");
  server_.release();
}

// Writes fail once the file has `room` bytes, like a full disk.
class FullDisk final : public ForwardingFileSystem {
 public:
  class Limited final : public WritableFile {
   public:
    Limited(std::unique_ptr<WritableFile> real, std::size_t room)
        : real_(std::move(real)), room_(room) {}
    bool append(const char* data, std::size_t n) override {
      if (n > room_) return false;
      room_ -= n;
      return real_->append(data, n);
    }
    bool close() override { return real_->close(); }
    bool discard() override { return real_->discard(); }

   private:
    std::unique_ptr<WritableFile> real_;
    std::size_t room_;
  };
  std::unique_ptr<WritableFile> createNewFile(const char* path) override {
    auto real = ForwardingFileSystem::createNewFile(path);
    return real ? std::make_unique<Limited>(std::move(real), 5000) : nullptr;
  }
};

TEST_F(RelayTest, AFileThatCannotBeWrittenGoesButTheBytesStillCome) {
  FullDisk full;
  auto handler = PlugProt::create({pages_, fetcher_, full, threads_});
  ASSERT_EQ(handler->Start(relayUrl(folder_ / "full.jpg", "/big.jpg"), sink_, &bindInfo_, 0, 0),
            kSOk);
  ASSERT_TRUE(sink_->waitForResult());
  EXPECT_EQ(readAll(*handler, 4096, kSFalse), pattern(200000));
  EXPECT_EQ(listNames(folder_.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace lumorel
