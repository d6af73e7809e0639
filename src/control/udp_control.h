#pragma once
// The UDP remote control: another program on the ship's network starts and stops a scan or
// closes the program with small datagrams. Datagrams are handled on the user-interface
// thread, one at a time, so a remote command is serialised with the user's own commands.
// By default the socket listens on this machine only; the settings open it to other hosts,
// where the allow-list says who may send.

#include <QObject>
#include <QUdpSocket>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/remote_command.h"
#include "seams/settings_store.h"

namespace vesk {

// What the program does for each remote command. The window's application and the headless
// runner each implement it; CUDPControl::ActionsFor binds it to the commands, once for both.
class RemoteCommandTarget {
 public:
  virtual void StartLogging() = 0;
  virtual void Stop() = 0;
  virtual void CloseApplication() = 0;
  virtual void StartAcquisition() = 0;
  virtual void Mark(const std::string& note) = 0;
  // A note for the user (commands dropped).
  virtual void NoteRemote(const std::string& text) = 0;

 protected:
  ~RemoteCommandTarget() = default;
};

class CUDPControl : public QObject {
 public:
  struct Actions {
    std::function<void()> startLogging;            // 1
    std::function<void()> stop;                    // 2
    std::function<void()> closeApplication;        // 3
    std::function<void()> startAcquisition;        // 4
    std::function<void(const std::string&)> note;  // commands dropped, for the user
    std::function<void(const std::string&)> mark;  // 6, with the datagram's note
  };
  // Each command to the target's function of the same name; the target outlives the control.
  static Actions ActionsFor(RemoteCommandTarget& target);

  CUDPControl(const SettingsStore& store, Actions actions, QObject* parent = nullptr);

  // Binds to RemoteControl/BindAddress : RemoteControl/Port; false (with ErrorText()) when the
  // port cannot be bound.
  bool Open();
  std::string ErrorText() const { return error_; }
  // What Open found wrong without failing (an allowed host name without an address).
  const std::vector<std::string>& Warnings() const { return warnings_; }
  quint16 LocalPort() const { return socket_.localPort(); }
  // The last command an allowed sender sent, and when (nothing before the first).
  const std::optional<ReceivedRemoteCommand>& LastReceived() const { return lastReceived_; }

 private:
  void OnReadyRead();
  std::string ResolveAllowedHosts(const std::string& hosts);
  void NoteReceived(RemoteCommand command, const std::string& sender);

  const SettingsStore& store_;
  Actions actions_;
  QUdpSocket socket_;
  RemoteCommandGate gate_;
  std::string allowedHosts_;
  std::string error_;
  std::vector<std::string> warnings_;
  std::optional<ReceivedRemoteCommand> lastReceived_;
};

inline constexpr const char* kNetworkUnavailable =
    "Unable to initialize network. Remote control is not available.";

}  // namespace vesk
