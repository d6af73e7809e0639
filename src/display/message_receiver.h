#pragma once
// A window that takes the document's registered messages (views, the popup, the dialogs
// the main frame relays to). Messages reach it on the user-interface thread only: workers
// post to the main frame, which hands each message on.

#include "acquisition/window_messages.h"

namespace vesk {

class MessageReceiver {
 public:
  virtual ~MessageReceiver() = default;
  virtual void OnMessage(Uwm message) = 0;
};

}  // namespace vesk
