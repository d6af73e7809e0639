#include "acquisition/scan_session.h"

#include "acquisition/aux_port_thread.h"
#include "acquisition/housekeeping_thread.h"

namespace vesk {

ScanSession::ScanSession(const Parts& parts)
    : parts_(parts),
      reports_(parts.dialogs, parts.windows, parts.results),
      files_(parts.store, parts.clock, reports_) {}

ScanSession::~ScanSession() {
  Stop();
}

PlaybackProgress ScanSession::Playback() const {
  const bool atEnd = playback_.atEnd;
  return {playback_.bytesDone.load(), playback_.totalBytes.load(), atEnd,
          atEnd && counterFrames_ == 0};
}

void ScanSession::Reset() {
  playback_.atEnd = false;
  counterFrames_ = 0;
  files_.StartScan();
  frames_.Clear();
  lastByte_ = 0;
  // Events left set by a scan whose threads had already ended must not end the new ones.
  for (Event* e : {&serialStop_, &playbackStop_, &auxStop_, &processingStop_, &housekeepingStop_}) {
    e->Reset();
  }
  ctdOutput_.Clear();
  reports_.StartScan();
}

void ScanSession::Start(const DocumentSettings& settings, const CtdModelEntry* ctd,
                        RecordSink* sink) {
  scan_ = settings;
  scanCtd_ = ctd != nullptr ? std::optional<CtdModelEntry>(*ctd) : std::nullopt;
  files_.BeginScan(scan_, scanCtd_ ? &*scanCtd_ : nullptr);
  channel_.Publish(scan_.scan);
  const bool playback = files_.Playback();
  const bool auxEnabled = scan_.auxPortMode != 0 && !playback;
  const FrameOutput output{frames_, counterFrames_};
  if (playback) {
    sourceStop_ = &playbackStop_;
    sourceThread_ =
        std::thread(PlaybackSourceThread,
                    PlaybackSourceContext{files_.PlayedPath(), playbackStop_, playbackPaused_,
                                          playbackSpeed_, playback_, output, reports_});
  } else {
    sourceStop_ = &serialStop_;
    sourceThread_ = std::thread(
        SerialSourceThread,
        SerialSourceContext{parts_.counterPort, scan_.counterPort, parts_.connected, serialStop_,
                            files_, output, lastByte_, parts_.commands, parts_.snapshot, reports_});
  }
  if (auxEnabled) {
    auxThread_ = std::thread(
        AuxPortThread, AuxPortContext{auxPort_, scan_, auxStop_, ctdOutput_, parts_.results,
                                      parts_.interest.navViewerOpen, channel_, files_, reports_});
  }
  LatestLineMailbox* ctdOutput =
      auxEnabled && scan_.auxPortMode == kAuxCtdOutput ? &ctdOutput_ : nullptr;
  processingThread_ = std::thread(
      ProcessingThread, ProcessingContext{scan_.scan, channel_, parts_.store, parts_.dialogs,
                                          processingStop_, frames_, parts_.results, files_,
                                          reports_, parts_.interest, ctdOutput, sink, playback});
  housekeepingThread_ =
      std::thread(HousekeepingThread, HousekeepingContext{housekeepingStop_, files_, reports_,
                                                          parts_.scanning, scan_.lowDiskSpaceMb});
}

void ScanSession::Stop() {
  // The source ends first (a serial source sends the stop command and keeps what the counter
  // still sent); the processing thread then finishes the frames already queued, so the .dat
  // holds every frame the .bin holds. Every thread is told before it is waited for, so a
  // join never waits on a thread that was not asked to end.
  if (sourceThread_.joinable()) sourceStop_->Set();
  if (auxThread_.joinable()) auxStop_.Set();
  for (std::thread* t : {&sourceThread_, &auxThread_}) {
    if (t->joinable()) t->join();
  }
  processingStop_.Set();
  housekeepingStop_.Set();
  for (std::thread* t : {&processingThread_, &housekeepingThread_}) {
    if (t->joinable()) t->join();
  }
}

}  // namespace vesk
