// What the "lm:" handler needs of its client: the sink that takes its
// notifications, the client's binding information, and hooks around the
// handler's worker thread. The Windows module adapts the browser's protocol
// sink and bind information to these; the browser host implements them
// over HTTP.
#ifndef LUMOREL_PROTOCOL_PROTOCOL_SINK_H_
#define LUMOREL_PROTOCOL_PROTOCOL_SINK_H_

#include <cstdint>

#include "platform/hresult.h"

namespace lumorel {

// Takes the handler's notifications, in this order for one URL:
// ReportProgress(kBindStatusSendingRequest), ReportProgress(
// kBindStatusEndDownloadData), ReportData, ReportResult. Called on the
// handler's worker thread (ReportResult also on the thread of a Start whose
// worker could not be made). The handler shares ownership while it may still
// report. Texts are always null: the handler reports none.
class ProtocolSink {
 public:
  virtual ~ProtocolSink() = default;
  virtual void ReportProgress(uint32_t statusCode, const char16_t* text) = 0;
  // The content can be read now: `progress` of `progressMax` bytes.
  virtual void ReportData(uint32_t flags, uint32_t progress, uint32_t progressMax) = 0;
  virtual void ReportResult(HResult result, uint32_t error, const char16_t* text) = 0;
};

// The client's binding information; only asked whether it can be had.
class BindInfo {
 public:
  virtual ~BindInfo() = default;
  // False when the client cannot give its binding information; the handler
  // then refuses the URL. Called on the thread of Start.
  virtual bool GetBindInfo() = 0;
};

// Runs on the worker thread around its whole work, for a platform that
// must prepare such a thread (join an apartment) or count it (so the module
// is not unloaded under it). Must outlive every handler that uses it.
class ProtocolWorkerHooks {
 public:
  virtual ~ProtocolWorkerHooks() = default;
  // First thing on the worker thread.
  virtual void workerStarted() = 0;
  // Last thing on the worker thread, after the worker let go of the handler
  // (which may have been destroyed by then).
  virtual void workerEnded() = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PROTOCOL_SINK_H_
