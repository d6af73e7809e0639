#pragma once
// One Qt event type per registered message name, registered once per process, so a worker's
// message can be posted to the main frame's event queue.

#include <QEvent>
#include <optional>

#include "acquisition/window_messages.h"

namespace vesk {

QEvent::Type UwmEventType(Uwm message);
std::optional<Uwm> UwmFromEventType(QEvent::Type type);

}  // namespace vesk
