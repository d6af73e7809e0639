#pragma once
// A document for fuzzing: in-memory settings, no windows, quiet dialogs, fixed clock.

#include <memory>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "seams/memory_settings_store.h"

namespace vesk::fuzz {

struct FuzzDoc {
  FuzzDoc() {
    store.WriteString("Settings", "SurveyLat", "45");
    doc = std::make_unique<CVESKDoc>(store, windows, dialogs, clock);
  }
  MemorySettingsStore store;
  HeadlessWindows windows;
  ConsoleDialogs dialogs{true, true};
  FixedClock clock{std::tm{}};
  std::unique_ptr<CVESKDoc> doc;
};

}  // namespace vesk::fuzz
