#pragma once
// What the fuzz targets run on: in-memory settings, quiet dialogs, and the frame processor's
// parts as a scan gives them (its records are dropped).

#include <memory>

#include "acquisition/headless_seams.h"
#include "processing/frame_processor.h"
#include "seams/memory_settings_store.h"

namespace vesk::fuzz {

struct DroppedRecords : RecordWriter {
  bool Write(std::string_view) override { return true; }
};

struct FuzzParts {
  FuzzParts() { store.WriteString("Settings", "SurveyLat", "45"); }
  MemorySettingsStore store;
  ConsoleDialogs dialogs{true, true};
  ScanResults results;
  CtdDecoder ctd{store, dialogs};
  NmeaLogGate gate;
  ProcessingListener listener;
  DroppedRecords writer;
};

}  // namespace vesk::fuzz
