#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "client/session/AccessUnitSplitter.h"
#include "client/session/FrameQueue.h"
#include "client/session/IIoCallback.h"
#include "client/session/TcpClient.h"
#include "client/session/VideoDecoder.h"
#include "common/Ports.h"

namespace tavrin {

// Owns the video connection. On the connection's reader thread it cuts the
// H.264 byte stream into access units, decodes them and pushes every picture
// into Singleton<FrameQueue>. When the server closes the stream it posts
// EVT_STREAM_CLOSED (data1 = 1) once; the pictures already queued stay.
//
// Main thread:
//   FrameProducer producer;
//   if (!producer.start(host)) ...   // no server: the session fails
//   ...
//   producer.stop();                 // joins the reader, frees the queue's records
class FrameProducer : public IIoCallback {
 public:
  FrameProducer();
  ~FrameProducer() override;
  FrameProducer(const FrameProducer&) = delete;
  FrameProducer& operator=(const FrameProducer&) = delete;

  // Decoder, queue records, connection to host:port and reader thread.
  bool start(const char* host, int port = VIDEO_PORT);
  // Ends the reader, closes the connection and the decoder, frees the records.
  void stop();

  // The reader's data path without the socket: the decoder and the queue
  // records (what start does before connecting), then bytes as they arrive.
  bool prepare();
  void feed(const uint8_t* data, size_t size);

  void onConnected() override {}
  void onDataReady() override;
  void onStopped() override {}
  void onDisconnected(int reason) override;

 private:
  FrameQueue* queue_ = nullptr;
  VideoDecoder decoder_;
  AccessUnitSplitter splitter_;
  std::vector<uint8_t> readBuffer_;
  TcpClient client_;  // last: its reader thread calls into the members above
};

}  // namespace tavrin
