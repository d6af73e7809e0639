#include "app/simulated_counter.h"

namespace vesk {
class CounterSimulator {};
SimulatedCounter::SimulatedCounter(OverlaySettingsStore& store, unsigned seed) : store_(store), seed_(seed) {}
SimulatedCounter::~SimulatedCounter() = default;
bool SimulatedCounter::Start() { error_ = "not yet"; return false; }
void SimulatedCounter::Stop() {}
std::string SimulatedCounter::CounterDevice() const { return {}; }
}  // namespace vesk
